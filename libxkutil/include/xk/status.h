/* SPDX-License-Identifier: MIT */
/** @file
 * Status codes returned by every fallible libxkutil call.
 *
 * @code
 * char *text = NULL;
 * xk_util_status st = xk_util_asprintf(&text, NULL, "%d items", 3);
 * if (st != XK_OK) {
 *     xk_trace_write(stderr);  // the failure's trace, innermost first
 *     return st;               // the same status travels up unchanged
 * }
 * free(text);
 * @endcode */
#ifndef XK_STATUS_H
#define XK_STATUS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Marks a function as part of the exported interface. */
#define XK_API __attribute__((visibility("default")))

/** 0 is success; every other value is a failure and travels unchanged to the outermost caller. */
typedef uint32_t xk_util_status;

#define XK_OK 0u           /**< success */
#define XK_ERR_NOMEM 2u    /**< a memory allocation failed */
#define XK_ERR_NULL_ARG 3u /**< a required pointer argument is NULL */
#define XK_ERR_SYSTEM 6u   /**< a system or libc call failed, or text read from the system did not parse */
#define XK_ERR_INVALID 7u  /**< an argument or input value is not acceptable */
#define XK_ERR_READ 9u     /**< reading a line of a process stat file failed */
#define XK_ERR_BUFFER_TOO_SMALL 16u /**< the result does not fit the buffer */
#define XK_ERR_NOT_FOUND 32u        /**< the stat file of the requested process cannot be opened */
#define XK_ERR_OVERFLOW 33u         /**< a size or time computation would overflow */
#define XK_ERR_TIMEOUT 36u          /**< a child did not end before its deadline and was killed */
#define XK_ERR_NO_MORE 37u          /**< a directory scan has no further entry */
#define XK_ERR_ACCESS 39u           /**< creating the pid file was refused with EACCES */
#define XK_ERR_ALREADY_RUNNING 52u  /**< the pid file names a live process of the same program */

#ifdef __cplusplus
}
#endif

#endif
