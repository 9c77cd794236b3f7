#include "TranscriptLimit.h"

#include <QTest>

using TranscriptLimit::MiB;

Q_DECLARE_METATYPE(TranscriptLimit::Memory)

// How large the transcript may grow: the default from what the system
// allows the process, and the value the command line gives.
class tst_TranscriptLimit : public QObject
{
    Q_OBJECT

private slots:
    void fromMemory_data()
    {
        constexpr qint64 GiB = 1024 * MiB;
        QTest::addColumn<TranscriptLimit::Memory>("memory");
        QTest::addColumn<qint64>("limit");
        QTest::newRow("physical only") << TranscriptLimit::Memory{8 * GiB, {}, {}} << 2 * GiB;
        QTest::newRow("cgroup smaller")
            << TranscriptLimit::Memory{24 * GiB, 2 * GiB, {}} << 512 * MiB;
        QTest::newRow("address space smallest")
            << TranscriptLimit::Memory{24 * GiB, 8 * GiB, 1 * GiB} << 256 * MiB;
        QTest::newRow("capped") << TranscriptLimit::Memory{256 * GiB, {}, {}} << 16 * GiB;
        QTest::newRow("nothing known") << TranscriptLimit::Memory{} << 16 * GiB;
        QTest::newRow("at least 1 MiB") << TranscriptLimit::Memory{1 * MiB, {}, {}} << 1 * MiB;
    }
    void fromMemory()
    {
        QFETCH(TranscriptLimit::Memory, memory);
        QFETCH(qint64, limit);
        QCOMPARE(TranscriptLimit::fromMemory(memory), limit);
    }

    void fromMiBText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("limit"); // 0 for refused
        QTest::newRow("4") << "4" << 4 * MiB;
        QTest::newRow("zero") << "0" << qint64(0);
        QTest::newRow("fraction") << "1.5" << qint64(0);
        QTest::newRow("unit") << "4M" << qint64(0);
        QTest::newRow("overflows") << "9223372036854775807" << qint64(0);
    }
    void fromMiBText()
    {
        QFETCH(QString, text);
        QFETCH(qint64, limit);
        QCOMPARE(TranscriptLimit::fromMiBText(text).value_or(0), limit);
    }
};

QTEST_GUILESS_MAIN(tst_TranscriptLimit)
#include "tst_TranscriptLimit.moc"
