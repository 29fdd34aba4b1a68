// SPDX-License-Identifier: MIT
#include "fault/seam.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <filesystem>
#include <unordered_set>
#include <utility>

namespace xk::fault {
namespace {

struct Countdown {
    const char *call = "";  // the armed kind; none matches ""
    long remaining = 0;
    int err = 0;
    Met met{};
} g_armed;

// The set's own nodes come from operator new inside libstdc++, which the wrapping never sees.
std::unordered_set<void *> &live() {
    static auto *blocks = new std::unordered_set<void *>;
    return *blocks;
}

}  // namespace

// Decides whether this call fails; sets errno when it does.
bool inject(const char *call) {
    if (strcmp(call, g_armed.call) != 0 || (++g_armed.met.calls, g_armed.remaining--) != 0) return false;
    return errno = g_armed.err, g_armed.met.fired = true;
}
void *remember(void *p) { return p != nullptr ? *live().insert(p).first : p; }

void arm(const char *call, long nth, int err) { g_armed = {call, nth, strcmp(call, "alloc") == 0 ? ENOMEM : err}; }
Met disarm() { return std::exchange(g_armed, {}).met; }
size_t live_blocks() { return live().size(); }
// libstdc++ lists the directory with its own, unwrapped calls.
int open_descriptors() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

// fclose releases the stream even when it reports a failure, as glibc's does.
int closed_anyway(int (*close)(FILE *), FILE *stream) {
    int err = errno;
    return close(stream), errno = err, EOF;
}

}  // namespace xk::fault

using xk::fault::inject;

// A failed stream transfer moves nothing and leaves the stream's error indicator set, as a
// real I/O error does (glibc keeps that indicator in the stream's flags).
constexpr int kStreamErrorSeen = 0x20;

// The calls that fail by returning one value: result type, name, failure value, parameters
// and arguments.
#define XK_FAULT_PLAIN_CALLS(X)                                                                                   \
    X(ssize_t, read, -1, (int fd, void *b, size_t n), (fd, b, n)) X(int, fsync, -1, (int fd), (fd))                \
    X(ssize_t, write, -1, (int fd, const void *b, size_t n), (fd, b, n)) X(int, unlink, -1, (const char *p), (p)) \
    X(off_t, lseek, -1, (int fd, off_t o, int w), (fd, o, w)) X(int, flock, -1, (int fd, int op), (fd, op))       \
    X(int, fstat, -1, (int fd, struct stat *st), (fd, st)) X(int, stat, -1, (const char *p, struct stat *st), (p, st)) \
    X(int, fflush, EOF, (FILE * f), (f)) X(int, fclose, xk::fault::closed_anyway(__real_fclose, f), (FILE * f), (f)) \
    X(FILE *, fopen, nullptr, (const char *p, const char *m), (p, m)) X(pid_t, fork, -1, (void), ())             \
    X(size_t, fread, (f->_flags |= kStreamErrorSeen, 0), (void *b, size_t s, size_t n, FILE *f), (b, s, n, f))   \
    X(size_t, fwrite, (f->_flags |= kStreamErrorSeen, 0), (const void *b, size_t s, size_t n, FILE *f), (b, s, n, f)) \
    X(pid_t, waitpid, -1, (pid_t pid, int *st, int o), (pid, st, o)) X(int, setegid, -1, (gid_t g), (g))          \
    X(int, sigaction, -1, (int s, const struct sigaction *a, struct sigaction *o), (s, a, o))                     \
    X(int, clock_gettime, -1, (clockid_t c, struct timespec * ts), (c, ts)) X(time_t, time, -1, (time_t * t), (t)) \
    X(int, getgrnam_r, (*r = nullptr, errno), (const char *n, struct group *g, char *b, size_t s, struct group **r), (n, g, b, s, r)) \
    X(int, setenv, -1, (const char *n, const char *v, int o), (n, v, o)) X(int, unsetenv, -1, (const char *n), (n)) \
    X(ssize_t, getline, -1, (char **l, size_t *c, FILE *f), (l, c, f)) X(long, sysconf, -1, (int n), (n))        \
    X(int, gettimeofday, -1, (struct timeval * tv, void *tz), (tv, tz))                                           \
    X(struct tm *, localtime_r, nullptr, (const time_t *t, struct tm *out), (t, out))                             \
    X(int, mkdir, -1, (const char *p, mode_t m), (p, m)) X(char *, realpath, nullptr, (const char *p, char *r), (p, r)) \
    X(int, truncate, -1, (const char *p, off_t len), (p, len)) X(DIR *, opendir, nullptr, (const char *p), (p))   \
    X(int, vsnprintf, -1, (char *b, size_t n, const char *f, va_list ap), (b, n, f, ap))                          \
    X(int, scandir, -1, (const char *p, struct dirent ***l, int (*f)(const struct dirent *),                      \
                         int (*c)(const struct dirent **, const struct dirent **)), (p, l, f, c))

extern "C" {

#define XK_FAULT_WRAP(ret, name, fail_value, params, args) \
    ret __real_##name params;                              \
    ret __wrap_##name params { return inject(#name) ? fail_value : __real_##name args; }
XK_FAULT_PLAIN_CALLS(XK_FAULT_WRAP)

// The allocations: type, name, parameters and arguments.
#define XK_FAULT_ALLOCATION(ret, name, params, args)                                                \
    ret __real_##name params;                                                                       \
    ret __wrap_##name params {                                                                      \
        return inject("alloc") ? nullptr : static_cast<ret>(xk::fault::remember(__real_##name args)); \
    }
XK_FAULT_ALLOCATION(void *, malloc, (size_t n), (n))
XK_FAULT_ALLOCATION(void *, calloc, (size_t n, size_t s), (n, s))
XK_FAULT_ALLOCATION(char *, strdup, (const char *s), (s))
XK_FAULT_ALLOCATION(char *, strndup, (const char *s, size_t n), (s, n))

void *__real_realloc(void *, size_t);
void *__wrap_realloc(void *old, size_t size) {
    if (inject("alloc")) return nullptr;
    void *p = __real_realloc(old, size);
    if (p != nullptr || size == 0) xk::fault::live().erase(old);
    return xk::fault::remember(p);
}

void __real_free(void *);
void __wrap_free(void *p) { xk::fault::live().erase(p), __real_free(p); }

int __real_open(const char *, int, ...);
int __wrap_open(const char *path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    mode_t mode = flags & (O_CREAT | O_TMPFILE) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
    va_end(ap);
    return inject("open") ? -1 : __real_open(path, flags, mode);
}

}  // extern "C"
