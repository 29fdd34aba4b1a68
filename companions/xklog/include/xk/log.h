/* SPDX-License-Identifier: MIT */
/** @file
 * libxklog: leveled log lines for the xk libraries.
 *
 * @code
 * static void to_syslog(void *context, int level, int flags, const char *func, const char *file,
 *                       int line, const char *text) {
 *     syslog(level, "%s: %s", func, text);
 * }
 *
 * xk_log_set_sink(to_syslog, NULL);
 * xk_log_set_threshold(XK_LOG_DEBUG);   // debug notes too
 * @endcode */
#ifndef XK_LOG_H
#define XK_LOG_H

#ifdef __cplusplus
extern "C" {
#endif

/* Levels follow syslog: 0 emergency ... 3 error ... 7 debug. */
#define XK_LOG_ERROR 3 /**< an error line */
#define XK_LOG_DEBUG 7 /**< a debug note, hidden by default */

/** Receives every line at or below the threshold: the formatted text as the caller made
 * it (no newline added), with the caller's level, function, file and line. */
typedef void (*xk_log_sink)(void *context, int level, int flags, const char *func, const char *file, int line,
                            const char *text);

/** Formats one line and hands it to the sink (default: one line on standard error).
 * @param level the line's level, 0 to 7
 * @param flags passed to the sink unchanged
 * @param func the calling function's name
 * @param file its source path
 * @param line the calling line
 * @param format the printf format of the text, followed by its arguments */
void xk_util_log_internal(int level, int flags, const char *func, const char *file, int line,
                          const char *format, ...) __attribute__((format(printf, 6, 7)));

/** As xk_util_log_internal with the text "msg: <strerror(errnum)>".
 * @param errnum the error number described
 * @param level the line's level, 0 to 7
 * @param flags passed to the sink unchanged
 * @param func the calling function's name
 * @param file its source path
 * @param line the calling line
 * @param msg the text before the error's description */
void xk_util_log_internal_perror(int errnum, int level, int flags, const char *func, const char *file,
                                 int line, const char *msg);

/** Lines with a level above max_level are dropped; the default is 6 (debug hidden).
 * @param max_level the highest level delivered */
void xk_log_set_threshold(int max_level);
/** The current threshold.
 * @return the highest level that is delivered */
int xk_log_get_threshold(void);

/** Replaces the sink; NULL restores the standard-error sink. Safe from any thread.
 * @param sink the new sink, or NULL
 * @param context passed to every call of the sink */
void xk_log_set_sink(xk_log_sink sink, void *context);

#ifdef __cplusplus
}
#endif

#endif
