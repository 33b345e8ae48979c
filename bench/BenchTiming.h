#pragma once

#include <chrono>
#include <ctime>
#include <functional>

namespace zep::bench {

/** wall-clock and processor seconds of one piece of work; the defaults lose against any measurement */
struct Time {
    double wall = 1e9;
    double cpu = 1e9;
};

/** processor time of this process: steadier than the wall clock on a busy machine */
inline double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

inline Time timed(const std::function<void()>& work) {
    const double cpu = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            cpuSeconds() - cpu};
}

} // namespace zep::bench
