#include "TcpFraming.h"

#include <QTest>
#include <QtEndian>

// What a recording of small sessions never shows: a read larger than a
// segment is cut into segments of at most 65,000 bytes, each a whole IP
// packet, whose sequence numbers follow on, and the other side acknowledges
// all of it.
class tst_TcpFraming : public QObject
{
    Q_OBJECT

    using Side = TcpFraming::Side;

    static quint32 word(const TcpFraming::Segment &segment, int at)
    {
        return qFromBigEndian<quint32>(segment.headers.constData() + at);
    }

private slots:
    void largeReadIsCutIntoSegments_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("payloads");
        QTest::newRow("IPv4, three segments")
            << "127.0.0.1" << 150000 << QList<int>{65000, 65000, 20000};
        QTest::newRow("IPv6, one whole segment") << "::1" << 65000 << QList<int>{65000};
        QTest::newRow("IPv6, one byte more") << "::1" << 65001 << QList<int>{65000, 1};
    }
    void largeReadIsCutIntoSegments()
    {
        QFETCH(QString, address);
        QFETCH(int, size);
        QFETCH(QList<int>, payloads);
        TcpFraming framing({QHostAddress(address), 5000, QHostAddress(address), 40000});
        const int ipBytes = framing.isIpv6() ? 40 : 20;
        const QList<TcpFraming::Segment> opening = framing.open(Side::Remote);
        const quint32 first = word(opening[2], ipBytes + 4);

        const QByteArray bytes = QByteArray(size, 'x');
        const QList<TcpFraming::Segment> segments = framing.data(Side::Remote, bytes);
        QCOMPARE(segments.size(), payloads.size() + 1);
        quint32 sequence = first;
        for (int i = 0; i < payloads.size(); ++i) {
            const TcpFraming::Segment &segment = segments[i];
            QCOMPARE(segment.payload.size(), payloads[i]);
            const quint16 ipLength =
                qFromBigEndian<quint16>(segment.headers.constData() + (framing.isIpv6() ? 4 : 2));
            QCOMPARE(int(ipLength),
                     segment.headers.size() + payloads[i] - (framing.isIpv6() ? 40 : 0));
            QCOMPARE(word(segment, ipBytes + 4), sequence);
            sequence += quint32(payloads[i]);
        }
        const TcpFraming::Segment &acknowledgement = segments.last();
        QVERIFY(acknowledgement.payload.isEmpty());
        QCOMPARE(word(acknowledgement, ipBytes + 8), first + quint32(size));
    }
};

QTEST_MAIN(tst_TcpFraming)
#include "tst_TcpFraming.moc"
