/* SPDX-License-Identifier: MIT */
/** @file
 * libxkerrortrace: a per-thread record of failure points, innermost first.
 *
 * @code
 * xk_trace_clear();
 * if (xk_util_sync_file(path) != XK_OK) {
 *     xk_trace_record innermost;
 *     if (xk_trace_get(0, &innermost) == 0) fprintf(stderr, "failed in %s: ", innermost.func);
 *     xk_trace_write(stderr);
 * }
 * @endcode */
#ifndef XK_ERRORTRACE_H
#define XK_ERRORTRACE_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

#define XK_TRACE_CAPACITY 64 /**< records kept per thread; older ones are dropped */
#define XK_TRACE_TEXT_MAX 96 /**< bytes kept of a function name or source path */

/** One failure point as the reporting function gave it; texts are copies, cut to fit. */
typedef struct xk_trace_record {
    char func[XK_TRACE_TEXT_MAX]; /**< name of the reporting function */
    char file[XK_TRACE_TEXT_MAX]; /**< source path of the reporting function */
    int line;                     /**< source line of the failure point */
    uint32_t status;              /**< status returned from that point */
} xk_trace_record;

/** Records one failure point for the calling thread; the oldest record is dropped
 * once XK_TRACE_CAPACITY are kept.
 * @param func the reporting function's name
 * @param file its source path
 * @param line the failure point's line
 * @param status the status returned from there */
void xk_trace_save(const char *func, const char *file, int line, uint32_t status);

/** Number of records the calling thread holds.
 * @return the count, at most XK_TRACE_CAPACITY */
size_t xk_trace_count(void);

/** Copies one record of the calling thread.
 * @param i the record, 0 being the innermost (the first saved)
 * @param out receives the copy
 * @return 0, or -1 when i is out of range or out is NULL */
int xk_trace_get(size_t i, xk_trace_record *out);

/** Forgets the calling thread's records. */
void xk_trace_clear(void);

/** Writes the calling thread's chain, one "func (file:line) status N" line per record,
 * innermost first.
 * @param stream the stream written */
void xk_trace_write(FILE *stream);

#ifdef __cplusplus
}
#endif

#endif
