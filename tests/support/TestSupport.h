#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QTimeZone>

namespace vorn::test {

// A wall-clock instant in the given IANA zone, as tests write them: "2026-03-07 18:59:59".
QDateTime at(const char* zone, const char* local);

// Runs queued events until none are left, so per-turn work (undo grouping, change posts) completes.
void drainEvents();

// This thread's own processor time: what the work cost, however busy the rest of the machine is.
qint64 threadCpuMSecs();

} // namespace vorn::test
