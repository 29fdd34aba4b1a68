/* SPDX-License-Identifier: MIT */
/** @file
 * Questions about the calling thread.
 *
 * @code
 * printf("thread %lld", (long long)xk_util_tid());
 * @endcode */
#ifndef XK_SYSTEM_H
#define XK_SYSTEM_H

#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** The calling thread's kernel thread id. Never fails.
 * @return the id, equal to getpid() in the main thread */
XK_API int64_t xk_util_tid(void);

#ifdef __cplusplus
}
#endif

#endif
