/** @file
 * Multiplication overflow tests and power-of-two rounding. Pure functions: no allocation, log or trace. */
#ifndef XK_ARITH_H
#define XK_ARITH_H

#include <stdbool.h>
#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** True when a * b lies outside int64_t; the product is never formed. */
XK_API bool xk_util_check_multiply_overflow_i64(int64_t a, int64_t b);

/** True when a * b lies outside int32_t; the product is never formed. */
XK_API bool xk_util_check_multiply_overflow_i32(int32_t a, int32_t b);

/** True when a * b exceeds UINT64_MAX; the product is never formed. */
XK_API bool xk_util_check_multiply_overflow_u64(uint64_t a, uint64_t b);

/** The smallest power of two not below x; x itself for 0 or a power of two; 0 when x is above 2^63
 * (2^64 does not fit). */
XK_API uint64_t round_up_power_2(uint64_t x);

/** The largest power of two not above x; x itself for 0 or a power of two. */
XK_API uint64_t round_down_power_2(uint64_t x);

#ifdef __cplusplus
}
#endif

#endif
