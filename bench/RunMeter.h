#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace bench {

// The longest the UI thread went without serving a 10 ms timer.
class StallMeter : public QObject
{
public:
    StallMeter();
    qint64 maxStallMs() const { return qMax<qint64>(0, m_maxGapMs - 10); }
    // Runs the event loop until the timer is served once more, so that a
    // stall that has just ended is counted.
    void settle();

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_maxGapMs = 0;
    qint64 m_served = 0;
};

// What one operation on a full window costs (Save As, Copy, a click...),
// apart from the receiving that set it up: its time until `done` holds, and
// the longest the window went without handling events meanwhile.
struct OperationFigures
{
    double seconds = 0;
    qint64 stallMs = 0;
    bool finished = false;
};
OperationFigures measureOperation(const std::function<void()> &start,
                                  const std::function<bool()> &done);

struct Figures
{
    double seconds = 0;
    qint64 stallMs = 0;
    qint64 residentGrowth = 0;
    qint64 peakGrowth = 0;
    bool exact = false;
    // Past a limit the run sets itself (or --limit): the run fails.
    bool overLimit = false;
    // Further key=value fields of the run's line, each after a space.
    QByteArray more;
};

// What a run costs from the meter's start until stop(): stalls, the growth of
// resident memory at the end and the growth of its peak. The peak is first
// lowered to what is resident, so that setting the run up does not hide the
// run's own peak. The time is the caller's clock, which starts where the run's
// work does.
class RunMeter
{
public:
    RunMeter();
    Figures stop(const QElapsedTimer &clock) const;

private:
    qint64 m_resident = 0;
    qint64 m_peak = 0;
    StallMeter m_stalls;
};

} // namespace bench
