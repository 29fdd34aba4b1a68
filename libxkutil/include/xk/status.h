/* Status codes returned by every fallible libxkutil call. */
#ifndef XK_STATUS_H
#define XK_STATUS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define XK_API __attribute__((visibility("default")))

/* 0 is success; every other value is a failure and travels unchanged to the outermost caller. */
typedef uint32_t xk_util_status;

#define XK_OK 0u
#define XK_ERR_NOMEM 2u
#define XK_ERR_NULL_ARG 3u
#define XK_ERR_SYSTEM 6u
#define XK_ERR_INVALID 7u
#define XK_ERR_READ 9u
#define XK_ERR_BUFFER_TOO_SMALL 16u
#define XK_ERR_NOT_FOUND 32u
#define XK_ERR_OVERFLOW 33u
#define XK_ERR_TIMEOUT 36u
#define XK_ERR_NO_MORE 37u
#define XK_ERR_ACCESS 39u
#define XK_ERR_ALREADY_RUNNING 52u

#ifdef __cplusplus
}
#endif

#endif
