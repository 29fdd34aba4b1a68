// Size arithmetic that refuses instead of wrapping. Every size, length or count the library
// derives from a caller's argument goes through these: each returns false, and leaves *out
// untouched, when the true result does not fit its type.
#ifndef XK_INTERNAL_CHECKED_H
#define XK_INTERNAL_CHECKED_H

#include <stddef.h>

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
    T r;
    if (__builtin_add_overflow(a, b, &r) || __builtin_add_overflow(r, c, &r)) return false;
    *out = r;
    return true;
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
    T r;
    if (__builtin_mul_overflow(a, b, &r) || __builtin_add_overflow(r, c, &r)) return false;
    *out = r;
    return true;
}

// A size_t that must also fit the library's signed 32-bit counts and capacities.
template <typename T>
[[nodiscard]] inline bool narrow(size_t value, T *out) {
    T r;
    if (__builtin_add_overflow(value, 0, &r)) return false;
    *out = r;
    return true;
}

}  // namespace xk::checked

#endif
