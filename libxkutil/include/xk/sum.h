/* SPDX-License-Identifier: MIT */
/** @file
 * Sliding-window sums of doubles over a ring of N buckets, with a running total across advances.
 *
 * @code
 * xk_util_sum per_minute;                     // one bucket per second, a one-minute window
 * if (xk_util_sum_init(&per_minute, 60) != XK_OK) return;
 * xk_util_sum_inc(&per_minute, bytes_read);   // during a second
 * xk_util_sum_next(&per_minute);              // at each second's end
 * printf("%g in the last minute, %g in all", xk_util_sum_get(&per_minute),
 * xk_util_sum_get_total(&per_minute)); xk_util_sum_free(&per_minute);
 * @endcode */
#ifndef XK_SUM_H
#define XK_SUM_H

#include <stddef.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** A caller-allocated record filled by xk_util_sum_init; its buckets are freed by xk_util_sum_free. */
typedef struct xk_util_sum {
    size_t n;        /**< number of buckets, at least 1 */
    size_t pos;      /**< index of the current bucket, 0 .. n-1 */
    double *buckets; /**< n doubles, owned by the record */
    double window;   /**< sum of the n buckets, kept incrementally */
    double total;    /**< sum of every bucket used since initialisation, dropped ones included */
} xk_util_sum;

/** Prepares a record with n zeroed buckets (it does not free earlier ones).
 * @param sum the caller's record
 * @param n the number of buckets, at least 1
 * @return XK_OK; XK_ERR_INVALID for n of 0 and XK_ERR_NOMEM, both logged and traced */
XK_API xk_util_status xk_util_sum_init(xk_util_sum *sum, size_t n);

/** Frees the buckets and sets them to NULL; a NULL record or an already freed one is harmless.
 * @param sum the record */
XK_API void xk_util_sum_free(xk_util_sum *sum);

/** Replaces the current bucket's value, adjusting window and total.
 * @param sum the record
 * @param value the bucket's new value */
XK_API void xk_util_sum_set(xk_util_sum *sum, double value);

/** Adds value to the current bucket, the window and the total.
 * @param sum the record
 * @param value the amount to add */
XK_API void xk_util_sum_inc(xk_util_sum *sum, double value);

/** The current bucket's value.
 * @param sum the record
 * @return the value */
XK_API double xk_util_sum_partial(const xk_util_sum *sum);

/** The window sum.
 * @param sum the record
 * @return the sum of the n buckets */
XK_API double xk_util_sum_get(const xk_util_sum *sum);

/** Advances to the next bucket, dropping the oldest from the window.
 * @param sum the record
 * @return the window sum before the advance */
XK_API double xk_util_sum_next(xk_util_sum *sum);

/** The running total.
 * @param sum the record
 * @return the sum of every bucket used since initialisation */
XK_API double xk_util_sum_get_total(const xk_util_sum *sum);

#ifdef __cplusplus
}
#endif

#endif
