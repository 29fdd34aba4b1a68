// SPDX-License-Identifier: MIT
#include "xk/log.h"

#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#define XK_LOG_API __attribute__((visibility("default")))

extern "C" int __xpg_strerror_r(int errnum, char *buf, size_t len);  // glibc's XSI strerror_r

namespace {

constexpr size_t kLineMax = 4096;

pthread_mutex_t sink_lock = PTHREAD_MUTEX_INITIALIZER;
xk_log_sink current_sink = nullptr;
void *current_context = nullptr;
int threshold = 6;

const char *level_name(int level) {
    static const char *const names[] = {"EMERG",   "ALERT",  "CRIT", "ERROR",
                                        "WARNING", "NOTICE", "INFO", "DEBUG"};
    return (level >= 0 && level <= 7) ? names[level] : "LOG";
}

// One write per line so that lines from several threads do not interleave.
void stderr_sink(int level, const char *func, const char *file, int line, const char *text) {
    char out[kLineMax + 256];
    size_t len = strlen(text);
    const char *newline = (len > 0 && text[len - 1] == '\n') ? "" : "\n";
    if (file != nullptr && file[0] != '\0')
        snprintf(out, sizeof out, "%s %s %s:%d: %s%s", level_name(level), func, file, line, text, newline);
    else
        snprintf(out, sizeof out, "%s %s: %s%s", level_name(level), func, text, newline);
    fputs(out, stderr);
}

void deliver(int level, int flags, const char *func, const char *file, int line, const char *text) {
    if (func == nullptr) func = "";
    if (file == nullptr) file = "";
    pthread_mutex_lock(&sink_lock);
    if (level <= threshold) {
        if (current_sink != nullptr)
            current_sink(current_context, level, flags, func, file, line, text);
        else
            stderr_sink(level, func, file, line, text);
    }
    pthread_mutex_unlock(&sink_lock);
}

}  // namespace

extern "C" {

XK_LOG_API void xk_util_log_internal(int level, int flags, const char *func, const char *file, int line,
                                     const char *format, ...) {
    char text[kLineMax] = "";
    if (format != nullptr) {
        va_list ap;
        va_start(ap, format);
        if (vsnprintf(text, sizeof text, format, ap) < 0) text[0] = '\0';
        va_end(ap);
    }
    deliver(level, flags, func, file, line, text);
}

XK_LOG_API void xk_util_log_internal_perror(int errnum, int level, int flags, const char *func,
                                            const char *file, int line, const char *msg) {
    char reason[256];
    snprintf(reason, sizeof reason, "error code %d", errnum);
    __xpg_strerror_r(errnum, reason, sizeof reason);
    char text[kLineMax];
    snprintf(text, sizeof text, "%s: %s", msg != nullptr ? msg : "", reason);
    deliver(level, flags, func, file, line, text);
}

XK_LOG_API void xk_log_set_threshold(int max_level) {
    pthread_mutex_lock(&sink_lock);
    threshold = max_level;
    pthread_mutex_unlock(&sink_lock);
}

XK_LOG_API int xk_log_get_threshold(void) {
    pthread_mutex_lock(&sink_lock);
    int value = threshold;
    pthread_mutex_unlock(&sink_lock);
    return value;
}

XK_LOG_API void xk_log_set_sink(xk_log_sink sink, void *context) {
    pthread_mutex_lock(&sink_lock);
    current_sink = sink;
    current_context = context;
    pthread_mutex_unlock(&sink_lock);
}

}  // extern "C"
