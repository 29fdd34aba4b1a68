// SPDX-License-Identifier: MIT
#include <stdlib.h>

#include "internal/checked.h"
#include "internal/report.h"
#include "xk/sum.h"

namespace {
constexpr const char *kSource = "src/sum_ops";
}

// Both sums are updated in a fixed order and never recomputed, so results match bit for bit.
extern "C" {

xk_util_status xk_util_sum_init(xk_util_sum *sum, size_t n) {
    using namespace xk;
    if (n == 0) return report::error(__func__, kSource, __LINE__, XK_ERR_INVALID, "N is zero");
    size_t bytes = 0;
    double *buckets =
        checked::mul(n, sizeof(double), &bytes) ? static_cast<double *>(calloc(n, sizeof(double))) : nullptr;
    sum->buckets = buckets;
    if (buckets == nullptr)
        return report::error(__func__, kSource, __LINE__, XK_ERR_NOMEM, "calloc() failed, N=%zu", n);
    sum->n = n;
    sum->pos = 0;
    sum->window = 0;
    sum->total = 0;
    return XK_OK;
}

void xk_util_sum_free(xk_util_sum *sum) {
    if (sum == nullptr || sum->buckets == nullptr) return;
    free(sum->buckets);
    sum->buckets = nullptr;
}

void xk_util_sum_set(xk_util_sum *sum, double value) {
    double &bucket = sum->buckets[sum->pos];
    sum->total = (sum->total - bucket) + value;
    sum->window = sum->window - bucket;
    bucket = value;
    sum->window = sum->window + value;
}

void xk_util_sum_inc(xk_util_sum *sum, double value) {
    double &bucket = sum->buckets[sum->pos];
    bucket = bucket + value;
    sum->window = sum->window + value;
    sum->total = sum->total + value;
}

double xk_util_sum_partial(const xk_util_sum *sum) { return sum->buckets[sum->pos]; }

double xk_util_sum_get(const xk_util_sum *sum) { return sum->window; }

double xk_util_sum_next(xk_util_sum *sum) {
    double before = sum->window;
    size_t pos = sum->pos + 1;
    if (pos == sum->n) pos = 0;
    sum->pos = pos;
    sum->window = sum->window - sum->buckets[pos];
    sum->buckets[pos] = 0;
    return before;
}

double xk_util_sum_get_total(const xk_util_sum *sum) { return sum->total; }

}  // extern "C"
