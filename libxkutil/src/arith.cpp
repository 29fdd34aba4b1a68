// SPDX-License-Identifier: MIT
#include "xk/arith.h"

#include <limits>

namespace {
[[maybe_unused]] constexpr const char *kSource = "src/arith";

// Compares a against a quotient of the type's limit, so neither the product nor MIN / -1 is formed:
// every division is by an operand of the sign that keeps it in range.
template <typename T>
bool multiply_overflows(T a, T b) {
    constexpr T kMax = std::numeric_limits<T>::max();
    constexpr T kMin = std::numeric_limits<T>::min();
    if (a == 0 || b == 0) return false;
    if (a > 0 && b > 0) return kMax / b < a;
    if (a < 0 && b < 0) return kMax / a > b;
    if (a > 0) return kMin / a > b;
    return kMin / b > a;
}

inline bool zero_or_power_of_two(uint64_t x) { return (x & (x - 1)) == 0; }

}  // namespace

extern "C" {

bool xk_util_check_multiply_overflow_i64(int64_t a, int64_t b) { return multiply_overflows<int64_t>(a, b); }

bool xk_util_check_multiply_overflow_i32(int32_t a, int32_t b) { return multiply_overflows<int32_t>(a, b); }

bool xk_util_check_multiply_overflow_u64(uint64_t a, uint64_t b) {
    if (a == 0 || b == 0) return false;
    return UINT64_MAX / b < a;
}

uint64_t round_up_power_2(uint64_t x) {
    if (zero_or_power_of_two(x)) return x;
    // x >= 3 here. The answer is 2 to the bit width of x - 1; a width of 64 (x above 2^63) would be
    // 2^64, which does not fit, so the result is then 0.
    int width = 64 - __builtin_clzll(x - 1);
    return width == 64 ? 0 : UINT64_C(1) << width;
}

uint64_t round_down_power_2(uint64_t x) {
    if (zero_or_power_of_two(x)) return x;
    return UINT64_C(1) << (63 - __builtin_clzll(x));
}

}  // extern "C"
