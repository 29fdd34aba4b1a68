/** @file
 * Sliding-window sums of doubles over a ring of N buckets, with a running total across advances. */
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

/** Prepares sum with n zeroed buckets (it does not free earlier ones). XK_OK; XK_ERR_INVALID for n of 0
 * and XK_ERR_NOMEM, both logged and traced. */
XK_API xk_util_status xk_util_sum_init(xk_util_sum *sum, size_t n);

/** Frees the buckets and sets them to NULL; a NULL record or an already freed one is harmless. */
XK_API void xk_util_sum_free(xk_util_sum *sum);

/** Replaces the current bucket's value, adjusting window and total. */
XK_API void xk_util_sum_set(xk_util_sum *sum, double value);

/** Adds value to the current bucket, the window and the total. */
XK_API void xk_util_sum_inc(xk_util_sum *sum, double value);

/** The current bucket's value. */
XK_API double xk_util_sum_partial(const xk_util_sum *sum);

/** The window sum. */
XK_API double xk_util_sum_get(const xk_util_sum *sum);

/** Advances to the next bucket, dropping the oldest from the window; returns the window before. */
XK_API double xk_util_sum_next(xk_util_sum *sum);

/** The running total. */
XK_API double xk_util_sum_get_total(const xk_util_sum *sum);

#ifdef __cplusplus
}
#endif

#endif
