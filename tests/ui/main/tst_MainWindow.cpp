#include "AppIdentity.h"
#include "ErrorReport.h"
#include "SocketEndpoint.h"
#include "WindowDriver.h"
#include "WireTextEdit.h"
#include "frmAbout.h"
#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// The main window as laid out and as it starts, and its menu commands.
class tst_MainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<frmMain> window;

    template <typename T = QWidget> T *child(const QString &name)
    {
        return window->findChild<T *>(name);
    }

    static QString outputDir()
    {
        const QString dir = qEnvironmentVariable("TAPWIRE_TEST_OUTPUT");
        return dir.isEmpty() ? QDir::currentPath() : dir;
    }

private slots:
    void init()
    {
        window = std::make_unique<frmMain>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void controlsSitWhereTheLayoutPutsThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        // Rectangles on the client area, in 96-dpi pixels (twips / 15).
        QTest::newRow("cmdListen") << "cmdListen" << QRect(8, 8, 81, 25);
        QTest::newRow("cmdConnect") << "cmdConnect" << QRect(96, 8, 81, 25);
        QTest::newRow("lblPort") << "lblPort" << QRect(208, 8, 41, 17);
        QTest::newRow("txtPort") << "txtPort" << QRect(256, 8, 81, 19);
        QTest::newRow("cmdClose") << "cmdClose" << QRect(744, 8, 81, 25);
        QTest::newRow("fraAddress") << "fraAddress" << QRect(8, 40, 817, 49);
        QTest::newRow("txtAddress") << "txtAddress" << QRect(16, 56, 801, 19);
        QTest::newRow("fraSendData") << "fraSendData" << QRect(8, 104, 817, 153);
        QTest::newRow("txtSendData") << "txtSendData" << QRect(16, 120, 801, 97);
        QTest::newRow("cmdSendData") << "cmdSendData" << QRect(648, 224, 81, 25);
        QTest::newRow("cmdSendDataC") << "cmdSendDataC" << QRect(736, 224, 81, 25);
        QTest::newRow("fraRecvData") << "fraRecvData" << QRect(8, 272, 817, 409);
        QTest::newRow("txtRecvData") << "txtRecvData" << QRect(16, 288, 801, 353);
        QTest::newRow("cmdRecvDataC") << "cmdRecvDataC" << QRect(736, 648, 81, 25);
    }
    void controlsSitWhereTheLayoutPutsThem()
    {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        QWidget *control = child(name);
        QVERIFY(control);
        QWidget *client = window->centralWidget();
        const QPoint topLeft = control->mapTo(client, QPoint(0, 0));
        QCOMPARE(QRect(topLeft, control->size()), rect);
    }

    void windowIsFixedAndCannotMaximise()
    {
        QCOMPARE(window->centralWidget()->size(), QSize(832, 687));
        QCOMPARE(window->centralWidget()->y(), window->menuBar()->height());
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(window->windowTitle(), QStringLiteral("Tapwire"));
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!window->windowIcon().isNull());
        window->resize(1000, 900);
        QCOMPARE(window->centralWidget()->size(), QSize(832, 687));
    }

    void wireBoxesUseTheWireFont_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("txtSendData") << "txtSendData";
        QTest::newRow("txtRecvData") << "txtRecvData";
    }
    void wireBoxesUseTheWireFont()
    {
        QFETCH(QString, name);
        auto *box = child<WireTextEdit>(name);
        QCOMPARE(box->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(box->font().pointSizeF(), 8.25);
        QVERIFY(QFontInfo(box->font()).fixedPitch());
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    }

    void startsIdleWithDefaults()
    {
        QCOMPARE(child<WireTextEdit>("txtRecvData")->text(), QString());
        QCOMPARE(child<WireTextEdit>("txtSendData")->text(), QString());
        QCOMPARE(child<QLineEdit>("txtAddress")->text(), QStringLiteral("www.example.com"));
        QCOMPARE(child<QLineEdit>("txtPort")->text(), QStringLiteral("80"));
        for (const char *name : {"cmdListen", "cmdConnect", "txtAddress", "txtPort"})
            QVERIFY2(child(name)->isEnabled(), name);
        for (const char *name : {"cmdClose", "cmdSendData"})
            QVERIFY2(!child(name)->isEnabled(), name);
        QCOMPARE(child<QPushButton>("cmdClose")->text(), QStringLiteral("Close"));
        QCOMPARE(window->wskWinSock()->State(), int(EndpointState::Closed));
    }

    void addressBoxTakesAnyLength()
    {
        const QString longText(40000, u'a');
        QApplication::clipboard()->setText(longText);
        child<QLineEdit>("txtAddress")->selectAll();
        child<QLineEdit>("txtAddress")->paste();
        QCOMPARE(child<QLineEdit>("txtAddress")->text(), longText);
    }

    void tabOrderFollowsTheLayout()
    {
        // Everything enabled, as during no session at all.
        for (const char *name : {"cmdClose", "cmdSendData"})
            child(name)->setEnabled(true);
        const QStringList order{"cmdListen",   "cmdConnect",  "txtPort",     "cmdClose",
                                "txtAddress",  "txtSendData", "cmdSendData", "cmdSendDataC",
                                "txtRecvData", "cmdRecvDataC"};
        child(order[0])->setFocus();
        for (int i = 1; i <= order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), order[i % order.size()]);
        }
    }

    void tabSkipsDisabledControls()
    {
        // Idle: Close and Send Data are disabled.
        child("txtPort")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtAddress"));
        child("txtSendData")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdSendDataC"));
    }

    void enterAndEscActivateNothing_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("key");
        QTest::newRow("Enter in port") << "txtPort" << int(Qt::Key_Return);
        QTest::newRow("Enter in address") << "txtAddress" << int(Qt::Key_Enter);
        QTest::newRow("Esc in address") << "txtAddress" << int(Qt::Key_Escape);
    }
    void enterAndEscActivateNothing()
    {
        QFETCH(QString, box);
        QFETCH(int, key);
        int clicks = 0;
        for (QPushButton *button : window->findChildren<QPushButton *>()) {
            QVERIFY(!button->isDefault() && !button->autoDefault());
            connect(button, &QPushButton::clicked, this, [&] { ++clicks; });
        }
        child(box)->setFocus();
        QTest::keyClick(child(box), Qt::Key(key));
        QCOMPARE(clicks, 0);
        QCOMPARE(window->wskWinSock()->State(), int(EndpointState::Closed));
    }

    void menusAsLaidOut_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::addColumn<bool>("menuEnabled");
        QTest::newRow("File") << 0 << "&File"
                              << "E&xit\tAlt+F4" << QKeySequence() << true;
        QTest::newRow("Tools") << 1 << "&Tools"
                               << "&Options..." << QKeySequence(Qt::Key_F2) << false;
        QTest::newRow("Help") << 2 << "&Help"
                              << "&About..." << QKeySequence(Qt::Key_F1) << true;
    }
    void menusAsLaidOut()
    {
        QFETCH(int, index);
        QFETCH(QString, menu);
        QFETCH(QString, item);
        QFETCH(QKeySequence, shortcut);
        QFETCH(bool, menuEnabled);
        QCOMPARE(window->mnuMain.size(), 3);
        QMenu *top = window->mnuMain[index];
        QCOMPARE(top->title(), menu);
        QCOMPARE(top->isEnabled(), menuEnabled);
        QCOMPARE(top->actions().size(), 1);
        QAction *action = top->actions().first();
        QCOMPARE(action->text(), item);
        QCOMPARE(action->shortcut(), shortcut);
        QVERIFY(action->isEnabled() && action->isVisible());
    }

    void exitShowsItsHintOnce()
    {
        QAction *exit = window->mnuFile[0];
        QCOMPARE(exit->text().count(QStringLiteral("Alt+F4")), 1);
        // Alt+F4 is only a hint shown in the shortcut column, bound to nothing.
        QVERIFY(exit->shortcut().isEmpty());
    }

    void f1OpensAboutFromAnywhere_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::newRow("port box") << "txtPort";
        QTest::newRow("outgoing text") << "txtSendData";
        QTest::newRow("transcript") << "txtRecvData";
        QTest::newRow("Listen") << "cmdListen";
    }
    void f1OpensAboutFromAnywhere()
    {
        QFETCH(QString, focus);
        child(focus)->setFocus();
        QWidget *focused = QApplication::focusWidget();
        QString caption;
        QWidget *owner = nullptr;
        const bool opened = WindowDriver::whileModal([&] { QTest::keyClick(focused, Qt::Key_F1); },
                                                     [&](QWidget *modal) {
                                                         QVERIFY(qobject_cast<frmAbout *>(modal));
                                                         caption = modal->windowTitle();
                                                         owner = modal->parentWidget();
                                                     });
        QVERIFY(opened);
        QCOMPARE(caption, QStringLiteral("About ") + appIdentity().title);
        QCOMPARE(owner, window.get());
        // Closed means discarded: nothing of it is left behind.
        QVERIFY(!window->findChild<frmAbout *>());
    }

    void altLetterOpensItsMenuFromTheBoxes_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::newRow("outgoing text") << "txtSendData";
        QTest::newRow("transcript") << "txtRecvData";
    }
    void altLetterOpensItsMenuFromTheBoxes()
    {
        QFETCH(QString, focus);
        auto *box = child<WireTextEdit>(focus);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_H, Qt::AltModifier);
        QTRY_VERIFY(window->mnuMain[2]->isVisible());
        window->mnuMain[2]->close();
        QCOMPARE(box->text(), QString());
    }

    void optionsShowsItsNotice()
    {
        QString text;
        QString title;
        int buttons = 0;
        QMessageBox::Icon icon = QMessageBox::Critical;
        const bool opened = WindowDriver::whileModal([&] { window->mnuTools_Click(0); },
                                                     [&](QWidget *modal) {
                                                         auto *box =
                                                             qobject_cast<QMessageBox *>(modal);
                                                         QVERIFY(box);
                                                         text = box->text();
                                                         title = box->windowTitle();
                                                         buttons = box->buttons().size();
                                                         icon = box->icon();
                                                     });
        QVERIFY(opened);
        QCOMPARE(text, QStringLiteral("Options Here..."));
        QCOMPARE(title, appIdentity().title);
        QCOMPARE(buttons, 1);
        QCOMPARE(icon, QMessageBox::NoIcon);
    }

    void otherMenuIndexesDoNothing()
    {
        const bool opened = WindowDriver::whileModal(
            [&] {
                window->mnuTools_Click(1);
                window->mnuHelp_Click(-1);
                window->mnuFile_Click(2);
            },
            [](QWidget *) {});
        QVERIFY(!opened);
        QVERIFY(window->isVisible());
    }

    void peerIsServedBehindAModalBox()
    {
        child<QLineEdit>("txtPort")->setText(QStringLiteral("0"));
        QTest::mouseClick(child<QPushButton>("cmdListen"), Qt::LeftButton);
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, quint16(window->wskWinSock()->LocalPort()));
        QTRY_VERIFY(child("cmdSendData")->isEnabled());
        auto *transcript = child<WireTextEdit>("txtRecvData");
        const QString accepted = transcript->text();

        bool landed = false;
        WindowDriver::whileModal(
            [&] { window->mnuTools_Click(0); },
            [&](QWidget *) {
                peer.write("behind the box");
                peer.disconnectFromHost();
                landed = QTest::qWaitFor(
                    [&] { return transcript->text().endsWith(QStringLiteral("CLOSED.\r\n")); });
            });
        QVERIFY(landed);
        QCOMPARE(transcript->text(), accepted + QStringLiteral("behind the boxCLOSED.\r\n"));
        QVERIFY(child("cmdListen")->isEnabled());
    }

    void exitEndsWithoutAClosingLine()
    {
        child<QLineEdit>("txtPort")->setText(QStringLiteral("0"));
        QTest::mouseClick(child<QPushButton>("cmdListen"), Qt::LeftButton);
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, quint16(window->wskWinSock()->LocalPort()));
        QTRY_VERIFY(child("cmdSendData")->isEnabled());
        const QString before = child<WireTextEdit>("txtRecvData")->text();
        window->mnuFile[0]->trigger();
        QVERIFY(!window->isVisible());
        QCOMPARE(child<WireTextEdit>("txtRecvData")->text(), before);
        window.reset();
        QTRY_COMPARE(peer.state(), QAbstractSocket::UnconnectedState);
    }

    void screenshot()
    {
        child<WireTextEdit>("txtSendData")->setText(QStringLiteral("GET / HTTP/1.0\r\n\r\n"));
        child<WireTextEdit>("txtRecvData")
            ->setText(QStringLiteral(
                "CONNECTED (93.184.215.14:80).\r\nHTTP/1.0 200 OK\r\nServer: "
                "demo\nX-Raw: tab\there, nul \0 bell \a\r\n\r\n<html>...\rCLOSED.\r\n"));
        const QString path = outputDir() + QStringLiteral("/tapwire-main-window.png");
        QVERIFY(window->grab().save(path));
        QVERIFY(QFileInfo(path).size() > 0);
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_MainWindow.moc"
