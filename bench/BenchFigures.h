#pragma once

// Per-step figures of the interactive benchmarks: this thread's CPU time and the
// mean, median, 95th percentile and maximum of a set of samples.

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

inline double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Figures {
    double mean = 0, median = 0, p95 = 0, max = 0;
};

inline Figures Summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    Figures f;
    f.mean = std::accumulate(ms.begin(), ms.end(), 0.0) / static_cast<double>(ms.size());
    f.median = ms[ms.size() / 2];
    f.p95 = ms[static_cast<size_t>(static_cast<double>(ms.size()) * 0.95)];
    f.max = ms.back();
    return f;
}

// The wall and CPU figures of a run of steps. A run is within its target when the
// median wall time and the 95th percentile of the CPU time stay below it.
struct StepFigures {
    Figures wall, cpu;
    StepFigures(const std::vector<double>& wallMs, const std::vector<double>& cpuMs)
        : wall(Summarise(wallMs)), cpu(Summarise(cpuMs)) {}
    bool Within(double targetMs) const { return wall.median < targetMs && cpu.p95 < targetMs; }
    void Print() const {
        std::printf("  wall  mean %.3f ms  median %.3f ms  p95 %.3f ms  max %.3f ms\n", wall.mean,
                    wall.median, wall.p95, wall.max);
        std::printf("  cpu   mean %.3f ms  median %.3f ms  p95 %.3f ms  max %.3f ms\n", cpu.mean, cpu.median,
                    cpu.p95, cpu.max);
    }
};
