#include "Profile.h"

#include <QCoreApplication>
#include <QDir>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace bench {

namespace {

int controlFd = -1;
int ackFd = -1;

// Sends perf one command and waits for its answer, so that sampling has
// started (or stopped) before the run goes on.
void tellPerf(const char *command)
{
    if (controlFd < 0)
        return;
    if (write(controlFd, command, std::strlen(command)) < 0)
        return;
    char ack[8];
    if (read(ackFd, ack, sizeof ack) < 0)
        return;
}

} // namespace

QStringList Profile::command(const QString &file, const QStringList &arguments)
{
    // The fifos live beside the output; the bench keeps both ends open so that
    // neither perf nor the run waits on the other to open them.
    const QString control = file + QStringLiteral(".ctl");
    const QString ack = file + QStringLiteral(".ack");
    for (const QString &fifo : {control, ack}) {
        unlink(qPrintable(fifo));
        mkfifo(qPrintable(fifo), 0600);
        open(qPrintable(fifo), O_RDWR | O_CLOEXEC);
    }
    return QStringList{QStringLiteral("record"),
                       QStringLiteral("-D"),
                       QStringLiteral("-1"),
                       QStringLiteral("--control"),
                       QStringLiteral("fifo:%1,%2").arg(control, ack),
                       QStringLiteral("--call-graph"),
                       QStringLiteral("dwarf,32768"),
                       QStringLiteral("-q"),
                       QStringLiteral("-o"),
                       file,
                       QStringLiteral("--"),
                       QCoreApplication::applicationFilePath()}
           << arguments << QStringLiteral("--profile-fifos") << control + u',' + ack;
}

void Profile::takeFifos(QStringList &arguments)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--profile-fifos"));
    if (at < 0 || at + 1 >= arguments.size())
        return;
    const QStringList fifos = arguments[at + 1].split(u',');
    arguments.remove(at, 2);
    if (fifos.size() != 2)
        return;
    controlFd = open(qPrintable(fifos[0]), O_WRONLY | O_CLOEXEC);
    ackFd = open(qPrintable(fifos[1]), O_RDONLY | O_CLOEXEC);
}

void Profile::windowStarts()
{
    tellPerf("enable\n");
}

void Profile::windowEnds()
{
    tellPerf("disable\n");
}

void Profile::namePeer()
{
    prctl(PR_SET_NAME, "bench-peer");
}

} // namespace bench
