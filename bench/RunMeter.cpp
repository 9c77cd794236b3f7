#include "RunMeter.h"

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
    QObject::connect(&m_timer, &QTimer::timeout, this,
                     [this] { m_maxGapMs = qMax(m_maxGapMs, m_sinceLast.restart()); });
    m_sinceLast.start();
    m_timer.start();
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
