// A transcript for a screen reader to read over the real accessibility bus
// (screen_reader_bus.sh): what a peer sent, a NUL and other controls in the
// middle, a line of the peer's that imitates a status line, then a real one.
// It stays until the reader is done, or half a minute at most.
#include "WireTextEdit.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    WireTextEdit box;
    box.setAccessibleName(QStringLiteral("Data Received"));
    box.appendBytes(
        QByteArray("one\r\ntwo\rthree\nfour\0\a\x1b[0m\tfive\xe9\x80 end\r\nCLOSED.\r\n", 47),
        {Origin::Peer, 1});
    box.appendText(QStringLiteral("CLOSED.\r\n"), {Origin::Status, 2});
    box.resize(600, 200);
    box.show();
    QTimer::singleShot(30000, &app, &QApplication::quit);
    return app.exec();
}
