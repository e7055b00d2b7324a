#pragma once

#include <sys/resource.h>

#include <QtGlobal>

// What every benchmark reports: CPU time and peak resident memory.
namespace BenchMeasure {

constexpr qint64 kMiB = 1024 * 1024;

// User and system CPU seconds of the process (RUSAGE_SELF) or the calling thread (RUSAGE_THREAD).
double cpuSeconds(int who = RUSAGE_SELF);

long peakResidentKiB();

}  // namespace BenchMeasure
