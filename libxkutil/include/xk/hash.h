/** @file
 * A fixed, unseeded, non-cryptographic 64-bit hash of a byte buffer. */
#ifndef XK_HASH_H
#define XK_HASH_H

#include <stddef.h>
#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Stores the hash of length bytes of data (any alignment) in *result. XK_OK; XK_ERR_INVALID (traced,
 * *result untouched) for a NULL data or result pointer or a length of 0. */
XK_API xk_util_status xk_util_hash64(const void *data, size_t length, uint64_t *result);

#ifdef __cplusplus
}
#endif

#endif
