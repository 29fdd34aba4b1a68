// SPDX-License-Identifier: MIT
// Wall clocks, the nanosecond timer and the processor's counter. Nothing here can fail in a way
// that is reported, so this file has no trace records of its own.
#include <stdint.h>
#include <sys/time.h>
#include <time.h>

#if defined(__x86_64__)
#include <x86intrin.h>
#endif

#include "xk/time.h"

namespace {
[[maybe_unused]] constexpr const char *kSource = "src/time/clock_linux";

// The only per-architecture code of the library: one read of a free-running counter, with no
// barrier around it and no system call.
inline uint64_t read_counter() {
#if defined(__aarch64__)
    // The virtual count register; it ticks at the counter's own frequency (CNTFRQ_EL0).
    uint64_t count;
    __asm__ __volatile__("mrs %0, cntvct_el0" : "=r"(count));
    return count;
#elif defined(__x86_64__)
    // The time-stamp counter. On processors with an invariant TSC (every current x86_64 part) it
    // runs at a constant rate and agrees across cores; on older parts readings taken on different
    // cores may disagree, so a caller that migrates between cores may see it step back.
    return __rdtsc();
#else
    // No counter register we know how to read: a monotonic clock in nanoseconds, which the vDSO
    // serves without entering the kernel on Linux.
    struct timespec now = {0, 0};
    (void)clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
#endif
}

// The reading gettimeofday leaves; zero if it left nothing.
struct timeval wall_now() {
    struct timeval tv = {0, 0};
    (void)gettimeofday(&tv, nullptr);
    return tv;
}

}  // namespace

extern "C" {

uint64_t xk_util_walltime_msec(void) {
    const struct timeval tv = wall_now();
    return static_cast<uint64_t>(tv.tv_sec) * 1000u + static_cast<uint64_t>(tv.tv_usec / 1000);
}

uint64_t xk_util_walltime_usec(void) {
    const struct timeval tv = wall_now();
    return static_cast<uint64_t>(tv.tv_sec) * 1000000u + static_cast<uint64_t>(tv.tv_usec);
}

// The seconds pass through a double, so they are exact only to its 53-bit mantissa; the
// nanoseconds are added exactly.
uint64_t xk_util_timer_point(void) {
    struct timespec now;
    if (clock_gettime(CLOCK_REALTIME, &now) == -1) return 0;
    return static_cast<uint64_t>(static_cast<double>(now.tv_sec) * 1e9) + static_cast<uint64_t>(now.tv_nsec);
}

// An end before the start (the clock was set back) wraps to a value near 2^64.
double xk_util_timer_elapsed_seconds(uint64_t start, uint64_t end) {
    return static_cast<double>(end - start) / 1e9;
}

uint64_t xk_util_read_cycles(void) { return read_counter(); }

}  // extern "C"
