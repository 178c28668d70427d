#include "model/StartupTrace.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace vorn {

namespace {

double nowMs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// When the process began, on CLOCK_MONOTONIC, in ms.
double processStartMs()
{
    if (qEnvironmentVariableIsSet("VORN_STARTUP_T0"))
        return std::strtod(qgetenv("VORN_STARTUP_T0").constData(), nullptr) / 1e6;
    // Field 22 of /proc/self/stat: start time in clock ticks since boot.
    unsigned long long ticks = 0;
    if (FILE* f = std::fopen("/proc/self/stat", "r")) {
        char buffer[1024] = {};
        const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
        std::fclose(f);
        buffer[n] = 0;
        const char* p = std::strrchr(buffer, ')'); // the command name may hold spaces
        for (int field = 2; p && field < 22; ++field)
            p = std::strchr(p + 1, ' ');
        if (p)
            ticks = std::strtoull(p + 1, nullptr, 10);
    }
    const double sinceBootMs = double(ticks) * 1e3 / double(sysconf(_SC_CLK_TCK));
    return nowMs(CLOCK_MONOTONIC) - (nowMs(CLOCK_BOOTTIME) - sinceBootMs);
}

} // namespace

void traceStartup(const char* phase)
{
    static const bool on = qEnvironmentVariableIntValue("VORN_STARTUP_TRACE") == 1;
    if (!on)
        return;
    static const double start = processStartMs();
    std::fprintf(stderr, "startup: %7.1f %s\n", nowMs(CLOCK_MONOTONIC) - start, phase);
}

} // namespace vorn
