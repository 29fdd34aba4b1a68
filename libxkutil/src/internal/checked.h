/* SPDX-License-Identifier: MIT */
// Size arithmetic that refuses instead of wrapping. Every size, length or count the library
// derives from a caller's argument goes through these: each returns false, and leaves *out
// untouched, when the true result does not fit its type.
#ifndef XK_INTERNAL_CHECKED_H
#define XK_INTERNAL_CHECKED_H

#include <stddef.h>

// Marks a function whose unsigned arithmetic wraps modulo 2^64 by design (hash, generator, bit
// mixing); the clang fuzz build checks every other unsigned wrap. GCC knows no such check.
#if defined(__clang__)
#define XK_WRAPS_ON_PURPOSE __attribute__((no_sanitize("unsigned-integer-overflow")))
#else
#define XK_WRAPS_ON_PURPOSE
#endif

namespace xk::checked {

template <typename T>
[[nodiscard]] inline bool add(T a, T b, T *out) {
    T r;
    if (__builtin_add_overflow(a, b, &r)) return false;
    *out = r;
    return true;
}

template <typename T>
[[nodiscard]] inline bool add3(T a, T b, T c, T *out) {
    T sum;
    return add(a, b, &sum) && add(sum, c, out);
}

template <typename T>
[[nodiscard]] inline bool mul(T a, T b, T *out) {
    T r;
    if (__builtin_mul_overflow(a, b, &r)) return false;
    *out = r;
    return true;
}

// a * b + c, the shape of most encoded sizes (2n + 1, (n + 1) * width, ...).
template <typename T>
[[nodiscard]] inline bool mul_add(T a, T b, T c, T *out) {
    T scaled;
    return mul(a, b, &scaled) && add(scaled, c, out);
}

// a * b of any two integer types into T: true when the exact product fits. *out always receives
// the product reduced modulo 2^N, for the one caller that reports the size it could not allocate.
template <typename A, typename B, typename T>
[[nodiscard]] inline bool product(A a, B b, T *out) {
    return !__builtin_mul_overflow(a, b, out);
}

// A value that must also fit a narrower type (the library's signed 32-bit counts and capacities).
template <typename T, typename U>
[[nodiscard]] inline bool narrow(U value, T *out) {
    T r;
    if (__builtin_add_overflow(value, 0, &r)) return false;
    *out = r;
    return true;
}

}  // namespace xk::checked

#endif
