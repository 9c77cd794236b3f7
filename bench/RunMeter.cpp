#include "RunMeter.h"

#include "BenchPeer.h"

#include <QCoreApplication>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace bench {

namespace {

qint64 residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    qint64 pages = 0;
    qint64 resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

qint64 peakResidentBytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atoll(line.c_str() + 6) * 1024;
    }
    return 0;
}

} // namespace

StallMeter::StallMeter()
{
    m_timer.setInterval(10);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
        m_maxGapMs = qMax(m_maxGapMs, m_sinceLast.restart());
        ++m_served;
    });
    m_sinceLast.start();
    m_timer.start();
}

void StallMeter::settle()
{
    for (const qint64 served = m_served; m_served == served;)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

OperationFigures measureOperation(const std::function<void()> &start,
                                  const std::function<bool()> &done)
{
    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    start();
    OperationFigures figures;
    // One that has not finished in 120 s fails.
    figures.finished = runUntil(done, [] { return qint64(0); });
    figures.seconds = clock.nsecsElapsed() / 1e9;
    stalls.settle();
    figures.stallMs = stalls.maxStallMs();
    return figures;
}

RunMeter::RunMeter()
{
    std::ofstream clearRefs("/proc/self/clear_refs");
    clearRefs << "5";
    clearRefs.close();
    if (!clearRefs)
        std::fputs("tapwire_bench: cannot reset the peak; peak growth reads low\n", stderr);
    m_resident = residentBytes();
    m_peak = peakResidentBytes();
}

Figures RunMeter::stop(const QElapsedTimer &clock) const
{
    Figures figures;
    figures.seconds = clock.isValid() ? clock.nsecsElapsed() / 1e9 : 0;
    figures.stallMs = m_stalls.maxStallMs();
    figures.residentGrowth = residentBytes() - m_resident;
    figures.peakGrowth = peakResidentBytes() - m_peak;
    return figures;
}

} // namespace bench
