/* SPDX-License-Identifier: MIT */
/** @file
 * Multiplication overflow tests and power-of-two rounding. Pure functions: no allocation, log or trace.
 *
 * @code
 * if (xk_util_check_multiply_overflow_u64(count, sizeof(struct item))) return XK_ERR_OVERFLOW;
 * uint64_t slots = round_up_power_2(count);   // 100 -> 128, 128 -> 128
 * @endcode */
#ifndef XK_ARITH_H
#define XK_ARITH_H

#include <stdbool.h>
#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Tests a 64-bit signed product; the product is never formed.
 * @param a the first factor
 * @param b the second factor
 * @return true when a * b lies outside int64_t */
XK_API bool xk_util_check_multiply_overflow_i64(int64_t a, int64_t b);

/** Tests a 32-bit signed product; the product is never formed.
 * @param a the first factor
 * @param b the second factor
 * @return true when a * b lies outside int32_t */
XK_API bool xk_util_check_multiply_overflow_i32(int32_t a, int32_t b);

/** Tests a 64-bit unsigned product; the product is never formed.
 * @param a the first factor
 * @param b the second factor
 * @return true when a * b exceeds UINT64_MAX */
XK_API bool xk_util_check_multiply_overflow_u64(uint64_t a, uint64_t b);

/** Rounds up to a power of two.
 * @param x the value
 * @return the smallest power of two not below x; x itself for 0 or a power of two; 0 when x is
 *         above 2^63 (2^64 does not fit) */
XK_API uint64_t round_up_power_2(uint64_t x);

/** Rounds down to a power of two.
 * @param x the value
 * @return the largest power of two not above x; x itself for 0 or a power of two */
XK_API uint64_t round_down_power_2(uint64_t x);

#ifdef __cplusplus
}
#endif

#endif
