// Test-only seam over the allocator and the system calls the library makes. The fault test
// binary is linked with -Wl,--wrap for each of them, so every call from the library's static
// objects passes through here. Nothing is injected until a test arms a countdown.
#ifndef XK_TESTS_FAULT_SEAM_H
#define XK_TESTS_FAULT_SEAM_H

#include <dirent.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <sys/types.h>
#include <time.h>

struct sigaction;
struct stat;
struct timeval;

// The calls that fail by returning one value with errno set: result type, name, failure
// value, parameters and arguments.
#define XK_FAULT_PLAIN_CALLS(X)                                                               \
    X(ssize_t, read, -1, (int fd, void *b, size_t n), (fd, b, n))                             \
    X(ssize_t, write, -1, (int fd, const void *b, size_t n), (fd, b, n))                      \
    X(off_t, lseek, -1, (int fd, off_t o, int w), (fd, o, w))                                 \
    X(int, fstat, -1, (int fd, struct stat *st), (fd, st))                                    \
    X(int, fsync, -1, (int fd), (fd))                                                         \
    X(int, fflush, EOF, (FILE * f), (f))                                                      \
    X(FILE *, fopen, nullptr, (const char *p, const char *m), (p, m))                         \
    X(int, flock, -1, (int fd, int op), (fd, op))                                             \
    X(pid_t, fork, -1, (void), ())                                                            \
    X(pid_t, waitpid, -1, (pid_t pid, int *st, int o), (pid, st, o))                          \
    X(int, sigaction, -1, (int s, const struct sigaction *a, struct sigaction *o), (s, a, o)) \
    X(int, clock_gettime, -1, (clockid_t c, struct timespec * ts), (c, ts))                   \
    X(int, setegid, -1, (gid_t g), (g))                                                       \
    X(int, setenv, -1, (const char *n, const char *v, int o), (n, v, o))                      \
    X(int, unsetenv, -1, (const char *n), (n))                                                \
    X(ssize_t, getline, -1, (char **l, size_t *c, FILE *f), (l, c, f))                        \
    X(time_t, time, static_cast<time_t>(-1), (time_t * t), (t))                               \
    X(int, gettimeofday, -1, (struct timeval * tv, void *tz), (tv, tz))                       \
    X(struct tm *, localtime_r, nullptr, (const time_t *t, struct tm *out), (t, out))         \
    X(int, mkdir, -1, (const char *p, mode_t m), (p, m))                                      \
    X(char *, realpath, nullptr, (const char *p, char *r), (p, r))                            \
    X(int, stat, -1, (const char *p, struct stat *st), (p, st))                               \
    X(int, truncate, -1, (const char *p, off_t len), (p, len))                                \
    X(int, unlink, -1, (const char *p), (p))                                                  \
    X(DIR *, opendir, nullptr, (const char *p), (p))                                          \
    X(long, sysconf, -1, (int n), (n))                                                        \
    X(int, vsnprintf, -1, (char *b, size_t n, const char *f, va_list ap), (b, n, f, ap))      \
    X(int, scandir, -1,                                                                       \
      (const char *p, struct dirent ***l, int (*f)(const struct dirent *),                    \
       int (*c)(const struct dirent **, const struct dirent **)),                             \
      (p, l, f, c))

namespace xk::fault {

#define XK_FAULT_NAME(ret, name, ...) name,
enum class Call {
    malloc_family,  // malloc, calloc, realloc, strdup, strndup: NULL with ENOMEM
    open,
    fclose,      // the stream is released all the same
    fread,       // moves nothing and sets the stream's error indicator
    fwrite,      // likewise
    getgrnam_r,  // reports the armed errno as its result
    XK_FAULT_PLAIN_CALLS(XK_FAULT_NAME) count_
};
#undef XK_FAULT_NAME

// Fails the call that is `nth` (0 = the next one) of its kind from now, once, with `err`
// as errno. A negative nth disarms.
void arm(Call call, long nth, int err);
void disarm_all();
// Calls of this kind seen since it was last armed.
long seen(Call call);
// True once the armed failure has been delivered.
bool fired(Call call);

// Blocks handed out by the wrapped allocator and not yet freed.
size_t live_blocks();
// Open descriptors of this process.
int open_descriptors();

}  // namespace xk::fault

#endif
