#pragma once

namespace vorn {

// With VORN_STARTUP_TRACE=1, each call prints "startup: MS PHASE" to stderr: milliseconds since the
// process was started (since VORN_STARTUP_T0, a CLOCK_MONOTONIC time in nanoseconds, when the starter
// hands one over; else since the kernel started the process, to 10 ms), so a start can be taken apart
// phase by phase. Costs one flag test when off.
void traceStartup(const char* phase);

} // namespace vorn
