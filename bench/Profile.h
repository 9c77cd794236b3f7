#pragma once

#include <QString>
#include <QStringList>

namespace bench {

// `--profile FILE`: each run samples under `perf record`, which starts
// paused and is switched on and off through its control fifo exactly where
// the run's clock runs (from the accept to the close), so that the peer, the
// set-up and the exactness check stay out of FILE. The peer's thread is
// named bench-peer: `perf report --comm tapwire_bench` leaves the window's
// process alone.
class Profile
{
public:
    // In the bench: the command that runs `arguments` of this program under
    // perf, writing to `file`, with the fifos it is switched through.
    static QStringList command(const QString &file, const QStringList &arguments);
    // In a run: takes its fifos from `--profile-fifos CTL,ACK`, if given.
    static void takeFifos(QStringList &arguments);
    static void windowStarts();
    static void windowEnds();
    // In the peer: names its thread apart from the window's.
    static void namePeer();
};

} // namespace bench
