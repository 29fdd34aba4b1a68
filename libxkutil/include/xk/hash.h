/* SPDX-License-Identifier: MIT */
/** @file
 * A fixed, unseeded, non-cryptographic 64-bit hash of a byte buffer.
 *
 * @code
 * uint64_t h = 0;
 * if (xk_util_hash64("key", 3, &h) == XK_OK) printf("%016" PRIx64, h);  // the same on every run
 * @endcode */
#ifndef XK_HASH_H
#define XK_HASH_H

#include <stddef.h>
#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Hashes length bytes of data (any alignment).
 * @param data the bytes
 * @param length their count, at least 1
 * @param result receives the hash
 * @return XK_OK; XK_ERR_INVALID (traced, *result untouched) for a NULL data or result pointer or
 *         a length of 0 */
XK_API xk_util_status xk_util_hash64(const void *data, size_t length, uint64_t *result);

#ifdef __cplusplus
}
#endif

#endif
