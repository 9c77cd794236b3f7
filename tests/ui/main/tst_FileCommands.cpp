#include "FileCommands.h"
#include "LoopbackTools.h"
#include "WindowDriver.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>

using LoopbackTools::spinUntil;

// Saving the transcript and sending a file, end to end: the bytes in the file
// are the bytes on the wire.
class tst_FileCommands : public QObject
{
    Q_OBJECT

    WindowDriver w;
    std::unique_ptr<QTemporaryDir> dir;

    // Every byte value, then CR and LF in every combination.
    static QByteArray wireBytes()
    {
        return LoopbackTools::allBytesPattern(256) + "\r\n\r\r\n\n\r\n\n\r\r\r\n" + "end\r";
    }
    QString pathOf(const QString &name) const { return dir->filePath(name); }

    // Picks `name` in the file dialog that the box's context menu item opens.
    static bool chooseInMenu(WireTextEdit *box, const QString &item, const QString &path)
    {
        const std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
        QAction *action = nullptr;
        for (QAction *candidate : menu->actions())
            if (candidate->text() == item)
                action = candidate;
        if (!action)
            return false;
        return WindowDriver::whileModal([&] { action->trigger(); },
                                        [&](QWidget *modal) {
                                            auto *dialog = qobject_cast<QFileDialog *>(modal);
                                            if (!dialog)
                                                return;
                                            dialog->selectFile(path);
                                            QMetaObject::invokeMethod(dialog, "accept");
                                        });
    }

    static QByteArray contentsOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        w.open();
    }
    void cleanup()
    {
        w.close();
        dir.reset();
    }

    void savedTranscriptHoldsTheBytesThatArrived_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("sentWhileSaving");
        QTest::newRow("at once") << wireBytes() << QByteArray();
        // Saved a few KiB a slice between events, while the peer goes on:
        // the file holds the transcript as it was when Save As was given.
        QTest::newRow("while the peer appends")
            << wireBytes().repeated(4096) << QByteArray("more\r\n").repeated(1000);
    }
    void savedTranscriptHoldsTheBytesThatArrived()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, sentWhileSaving);
        auto peer = w.acceptedPeer();
        QVERIFY(peer);
        const QString accepted = w.transcript();
        peer->write(sent);
        QVERIFY(spinUntil([&] { return w.transcript().size() == accepted.size() + sent.size(); }));

        const QString path = pathOf(QStringLiteral("received.bin"));
        if (!sentWhileSaving.isEmpty())
            w.window->files()->setSaveSlice(1024);
        QVERIFY(chooseInMenu(w.box("txtRecvData"), QStringLiteral("Save &As..."), path));
        if (!sentWhileSaving.isEmpty()) {
            QVERIFY(w.window->files()->isSaving());
            QVERIFY(LoopbackTools::writeThrough(*peer, sentWhileSaving));
            const qsizetype all = accepted.size() + sent.size() + sentWhileSaving.size();
            QVERIFY(spinUntil([&] { return w.box("txtRecvData")->textLength() == all; }));
            QVERIFY2(w.window->files()->isSaving(), "the peer's bytes came after the save");
            QVERIFY(spinUntil([&] { return !w.window->files()->isSaving(); }));
        }
        QVERIFY(w.reports.isEmpty());
        QCOMPARE(contentsOf(path), accepted.toLatin1() + sent);
    }

    void openedFileGoesOutByteForByte()
    {
        const QString path = pathOf(QStringLiteral("request.bin"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(wireBytes());
        file.close();

        // A real peer that writes whatever it receives to its output.
        const QString nc = QStandardPaths::findExecutable(QStringLiteral("nc"));
        QVERIFY2(!nc.isEmpty(), "netcat-openbsd is installed by the Makefile");
        const int port = w.listen();
        QProcess netcat;
        netcat.start(nc,
                     {QStringLiteral("-d"), QStringLiteral("127.0.0.1"), QString::number(port)});
        QVERIFY(netcat.waitForStarted());
        QVERIFY(spinUntil([&] { return w.button("cmdSendData")->isEnabled(); }));

        // Dropped onto the outgoing box, the file replaces what it held.
        WireTextEdit *outgoing = w.box("txtSendData");
        outgoing->setText(QStringLiteral("held before"));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        const QPoint middle = outgoing->viewport()->rect().center();
        QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(outgoing->viewport(), &enter);
        QDropEvent drop(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(outgoing->viewport(), &drop);
        QVERIFY(spinUntil([&] { return outgoing->text().size() == wireBytes().size(); }));

        QVERIFY(w.click("cmdSendData"));
        QVERIFY(w.click("cmdClose"));
        QVERIFY(spinUntil([&] { return netcat.state() == QProcess::NotRunning; }));
        QCOMPARE(netcat.readAllStandardOutput(), wireBytes());
        QVERIFY(w.reports.isEmpty());

        // One Undo gives back what the box held.
        outgoing->undo();
        QCOMPARE(outgoing->text(), QStringLiteral("held before"));
    }

    void failedSaveLeavesNothingBehind_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("reported");
        QTest::newRow("folder that is a file") << "plain/out.bin" << QString() << 76;
        QTest::newRow("character the code page cannot carry") << "out.bin"
                                                              << "\r\n\u4E2D" << 40201;
        QTest::newRow("... far into the text")
            << "out.bin" << QString(70000, u'x') + QStringLiteral("\r\n\u4E2D") << 40201;
        // Replaced, its reader would get nothing, and the pipe would be gone.
        QTest::newRow("a FIFO") << "fifo" << QString() << 75;
        QTest::newRow("a link to a FIFO") << "link" << QString() << 75;
        // Cancel in the progress of a save over a file: nothing is reported.
        QTest::newRow("cancelled") << "plain" << QString(1 << 20, u'x') << 0;
    }
    void failedSaveLeavesNothingBehind()
    {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(int, reported);
        QFile plain(pathOf(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.write("untouched");
        plain.close();
        const QString fifo = pathOf(QStringLiteral("fifo"));
        if (reported == 75) {
            QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
            QVERIFY(QFile::link(fifo, pathOf(QStringLiteral("link"))));
        }
        const auto listing = [this] {
            return QDir(dir->path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        };
        const QStringList before = listing();
        w.box("txtRecvData")->setText(QStringLiteral("some text") + typed);

        FileCommands *files = w.window->files();
        if (reported == 0) {
            files->setSaveSlice(4096);
            files->saveTranscript(pathOf(name));
            QVERIFY(files->isSaving());
            auto *progress = w.window->findChild<QProgressDialog *>();
            QVERIFY(progress && progress->findChild<QPushButton *>());
            progress->findChild<QPushButton *>()->click();
            QVERIFY(!files->isSaving());
            QTest::qWait(50);
        } else if (reported == 75) {
            // The file dialog would first ask whether to replace what is there.
            ErrorReport::guarded([&] { files->saveTranscript(pathOf(name)); })();
        } else {
            QVERIFY(
                chooseInMenu(w.box("txtRecvData"), QStringLiteral("Save &As..."), pathOf(name)));
        }
        QCOMPARE(w.reportNumbers(), reported ? QList<int>{reported} : QList<int>{});
        QVERIFY(reported == 0 ||
                w.reports.front().description().contains(
                    reported == 40201 ? QStringLiteral("line 2, column 1") : pathOf(name)));
        if (reported == 75) {
            QVERIFY(w.reports.front().description().endsWith(QStringLiteral("but a FIFO")));
            struct stat status
            {
            };
            QVERIFY(::lstat(QFile::encodeName(fifo).constData(), &status) == 0 &&
                    S_ISFIFO(status.st_mode));
            QCOMPARE(QFile::symLinkTarget(pathOf(QStringLiteral("link"))), fifo);
        }
        QCOMPARE(listing(), before);
        QCOMPARE(contentsOf(plain.fileName()), QByteArray("untouched"));
    }

    // Open File of a FIFO with no writer would wait in open(2) for one: it
    // is refused at once, and the box keeps what it held.
    void openFileRefusesAFifo()
    {
        const QString fifo = pathOf(QStringLiteral("fifo"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        w.box("txtSendData")->setText(QStringLiteral("kept"));
        ErrorReport::guarded([&] { w.window->files()->openFile(fifo); })();
        QCOMPARE(w.reportNumbers(), QList<int>{75});
        QCOMPARE(
            w.reports.front().description(),
            QStringLiteral("Path/File access error: %1: not a regular file but a FIFO").arg(fifo));
        QTest::qWait(100);
        QCOMPARE(w.box("txtSendData")->text(), QStringLiteral("kept"));
    }
};

QTEST_MAIN(tst_FileCommands)
#include "tst_FileCommands.moc"
