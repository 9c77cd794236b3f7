#include "AppIdentity.h"
#include "Application.h"
#include "SessionController.h"
#include "TranscriptLimit.h"
#include "frmMain.h"

#include <QCommandLineParser>

#include <cstdio>
#include <optional>

int main(int argc, char *argv[])
{
    // Takes Qt's own options (-style, -platform, ...) out of the command line.
    Application app(argc, argv);
    // The desktop matches a running window to its menu entry and icon by the
    // application id: Wayland by the desktop file name, X11 by the window
    // class, which Qt takes from the application name.
    QGuiApplication::setDesktopFileName(appIdentity().applicationId);
    QCoreApplication::setApplicationName(appIdentity().applicationId);

    QCommandLineParser parser;
    parser.setApplicationDescription(appIdentity().productName);
    parser.addHelpOption();
    const QCommandLineOption limitOption(
        QStringLiteral("transcript-limit"),
        QStringLiteral("Pause reading once the transcript holds <MiB> Mi characters (by default a "
                       "quarter of the memory the process may use, at most 16 GiB)."),
        QStringLiteral("MiB"));
    parser.addOption(limitOption);
    const auto refuse = [](const QString &why) {
        std::fprintf(stderr, "tapwire: %s\n", qPrintable(why));
        return 2;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return refuse(parser.errorText());
    // Shows --help or --help-all (with Qt's own options) and exits; nothing else.
    parser.process(QCoreApplication::arguments());
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected argument: ") + parser.positionalArguments()[0]);
    std::optional<qint64> limit;
    if (parser.isSet(limitOption)) {
        limit = TranscriptLimit::fromMiBText(parser.value(limitOption));
        if (!limit)
            return refuse(QStringLiteral("--transcript-limit takes a whole number of MiB, at "
                                         "least 1, not \"%1\"")
                              .arg(parser.value(limitOption)));
    }

    frmMain window;
    if (limit)
        window.session()->setTranscriptLimit(*limit);
    window.show();
    return app.exec();
}
