#include "fault/seam.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

extern "C" DIR *__real_opendir(const char *);

namespace xk::fault {
namespace {

struct Countdown {
    long remaining = -1;  // -1: disarmed
    long calls = 0;
    int err = 0;
    bool fired = false;
};

Countdown g_calls[static_cast<int>(Call::count_)];

// Failures delivered during the running test: allocations and system calls.
long g_injected_allocations = 0;
long g_injected_calls = 0;

// Decides whether this call fails; sets errno when it does.
bool inject(Call call) {
    Countdown &c = g_calls[static_cast<int>(call)];
    ++c.calls;
    if (c.remaining < 0) return false;
    if (c.remaining-- != 0) return false;
    c.fired = true;
    ++(call == Call::malloc_family ? g_injected_allocations : g_injected_calls);
    errno = c.err;
    return true;
}

// Live blocks: an open-addressing set of pointers that never allocates itself.
constexpr size_t kSlots = 1 << 16;
uintptr_t g_live[kSlots];
size_t g_live_count = 0;
constexpr uintptr_t kTombstone = 1;

size_t slot_of(uintptr_t p) { return (p >> 4) * 0x9E3779B97F4A7C15ull >> 48 & (kSlots - 1); }

void remember(void *ptr) {
    if (ptr == nullptr) return;
    auto p = reinterpret_cast<uintptr_t>(ptr);
    for (size_t i = slot_of(p);; i = (i + 1) & (kSlots - 1)) {
        if (g_live[i] == 0 || g_live[i] == kTombstone) {
            g_live[i] = p;
            ++g_live_count;
            return;
        }
    }
}

void forget(void *ptr) {
    if (ptr == nullptr) return;
    auto p = reinterpret_cast<uintptr_t>(ptr);
    for (size_t i = slot_of(p); g_live[i] != 0; i = (i + 1) & (kSlots - 1)) {
        if (g_live[i] == p) {
            g_live[i] = kTombstone;
            --g_live_count;
            return;
        }
    }
}

}  // namespace

void arm(Call call, long nth, int err) {
    Countdown &c = g_calls[static_cast<int>(call)];
    c = Countdown{nth < 0 ? -1 : nth, 0, call == Call::malloc_family ? ENOMEM : err, false};
}

void disarm_all() {
    for (auto &c : g_calls) c = Countdown{};
}

long seen(Call call) { return g_calls[static_cast<int>(call)].calls; }
bool fired(Call call) { return g_calls[static_cast<int>(call)].fired; }
size_t live_blocks() { return g_live_count; }

int open_descriptors() {
    DIR *dir = __real_opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int count = 0;
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
    return count - 3;  // ".", ".." and the directory's own descriptor
}

namespace {

// After the run, one line per test that injected anything: how many allocation failures and
// how many system-call failures it delivered (each one checked by the test for its status,
// leaked blocks and leaked descriptors).
class InjectionTally : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override { g_injected_allocations = g_injected_calls = 0; }
    void OnTestEnd(const ::testing::TestInfo &info) override {
        if (g_injected_allocations + g_injected_calls == 0) return;
        rows_.push_back(std::string(info.test_suite_name()) + "." + info.name() + ": " +
                        std::to_string(g_injected_allocations) + " allocation, " +
                        std::to_string(g_injected_calls) + " system-call failures");
        allocations_ += g_injected_allocations;
        calls_ += g_injected_calls;
    }
    void OnTestProgramEnd(const ::testing::UnitTest &) override {
        if (rows_.empty()) return;
        printf("\nInjected failures per test:\n");
        for (const std::string &row : rows_) printf("  %s\n", row.c_str());
        printf("  in all: %ld allocation, %ld system-call failures\n", allocations_, calls_);
    }
    std::vector<std::string> rows_;
    long allocations_ = 0;
    long calls_ = 0;
};

const bool tally_installed = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new InjectionTally);
    return true;
}();

}  // namespace

}  // namespace xk::fault

using xk::fault::Call;
using xk::fault::inject;

extern "C" {

void *__real_malloc(size_t);
void *__real_calloc(size_t, size_t);
void *__real_realloc(void *, size_t);
void __real_free(void *);
char *__real_strdup(const char *);
char *__real_strndup(const char *, size_t);

void *__wrap_malloc(size_t size) {
    if (inject(Call::malloc_family)) return nullptr;
    void *p = __real_malloc(size);
    xk::fault::remember(p);
    return p;
}

void *__wrap_calloc(size_t n, size_t size) {
    if (inject(Call::malloc_family)) return nullptr;
    void *p = __real_calloc(n, size);
    xk::fault::remember(p);
    return p;
}

void *__wrap_realloc(void *old, size_t size) {
    if (inject(Call::malloc_family)) return nullptr;
    void *p = __real_realloc(old, size);
    if (p != nullptr || size == 0) xk::fault::forget(old);
    xk::fault::remember(p);
    return p;
}

void __wrap_free(void *p) {
    xk::fault::forget(p);
    __real_free(p);
}

char *__wrap_strdup(const char *s) {
    if (inject(Call::malloc_family)) return nullptr;
    char *p = __real_strdup(s);
    xk::fault::remember(p);
    return p;
}

char *__wrap_strndup(const char *s, size_t n) {
    if (inject(Call::malloc_family)) return nullptr;
    char *p = __real_strndup(s, n);
    xk::fault::remember(p);
    return p;
}

int __real_open(const char *, int, ...);
int __wrap_open(const char *path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list ap;
        va_start(ap, flags);
        mode = static_cast<mode_t>(va_arg(ap, int));
        va_end(ap);
    }
    if (inject(Call::open)) return -1;
    return __real_open(path, flags, mode);
}

#define XK_WRAP(ret, name, fail_value, params, args) \
    ret __real_##name params;                        \
    ret __wrap_##name params {                       \
        if (inject(Call::name)) return fail_value;   \
        return __real_##name args;                   \
    }

XK_WRAP(ssize_t, read, -1, (int fd, void *buf, size_t n), (fd, buf, n))
XK_WRAP(ssize_t, write, -1, (int fd, const void *buf, size_t n), (fd, buf, n))
XK_WRAP(off_t, lseek, -1, (int fd, off_t offset, int whence), (fd, offset, whence))
XK_WRAP(int, fstat, -1, (int fd, struct stat *st), (fd, st))
XK_WRAP(int, fsync, -1, (int fd), (fd))
XK_WRAP(int, fflush, EOF, (FILE * stream), (stream))
XK_WRAP(FILE *, fopen, nullptr, (const char *path, const char *mode), (path, mode))
XK_WRAP(int, flock, -1, (int fd, int op), (fd, op))
XK_WRAP(pid_t, fork, -1, (void), ())
XK_WRAP(pid_t, waitpid, -1, (pid_t pid, int *status, int options), (pid, status, options))
XK_WRAP(int, sigaction, -1, (int sig, const struct sigaction *act, struct sigaction *old), (sig, act, old))
XK_WRAP(int, clock_gettime, -1, (clockid_t clock, struct timespec *ts), (clock, ts))
XK_WRAP(int, setegid, -1, (gid_t gid), (gid))
XK_WRAP(time_t, time, static_cast<time_t>(-1), (time_t * t), (t))
XK_WRAP(int, gettimeofday, -1, (struct timeval * tv, void *tz), (tv, tz))
XK_WRAP(struct tm *, localtime_r, nullptr, (const time_t *t, struct tm *out), (t, out))
XK_WRAP(int, mkdir, -1, (const char *path, mode_t mode), (path, mode))
XK_WRAP(char *, realpath, nullptr, (const char *path, char *resolved), (path, resolved))
XK_WRAP(int, stat, -1, (const char *path, struct stat *st), (path, st))
XK_WRAP(int, truncate, -1, (const char *path, off_t length), (path, length))
XK_WRAP(int, unlink, -1, (const char *path), (path))
XK_WRAP(DIR *, opendir, nullptr, (const char *path), (path))
XK_WRAP(long, sysconf, -1, (int name), (name))
XK_WRAP(int, scandir, -1,
        (const char *path, struct dirent ***list, int (*filter)(const struct dirent *),
         int (*compare)(const struct dirent **, const struct dirent **)),
        (path, list, filter, compare))

// A failed stream transfer moves nothing and leaves the stream's error indicator set, as a
// real I/O error does (glibc keeps that indicator in the stream's flags).
constexpr int kStreamErrorSeen = 0x20;
size_t __real_fread(void *, size_t, size_t, FILE *);
size_t __wrap_fread(void *buf, size_t size, size_t n, FILE *stream) {
    if (!inject(Call::fread)) return __real_fread(buf, size, n, stream);
    stream->_flags |= kStreamErrorSeen;
    return 0;
}
size_t __real_fwrite(const void *, size_t, size_t, FILE *);
size_t __wrap_fwrite(const void *buf, size_t size, size_t n, FILE *stream) {
    if (!inject(Call::fwrite)) return __real_fwrite(buf, size, n, stream);
    stream->_flags |= kStreamErrorSeen;
    return 0;
}

XK_WRAP(int, vsnprintf, -1, (char *buf, size_t size, const char *format, va_list ap), (buf, size, format, ap))

XK_WRAP(int, setenv, -1, (const char *name, const char *value, int overwrite), (name, value, overwrite))
XK_WRAP(int, unsetenv, -1, (const char *name), (name))
XK_WRAP(ssize_t, getline, -1, (char **line, size_t *capacity, FILE *stream), (line, capacity, stream))

// fclose releases the stream even when it reports a failure, as glibc's does.
int __real_fclose(FILE *);
int __wrap_fclose(FILE *stream) {
    bool fail = inject(Call::fclose);
    int saved = errno;
    int rc = __real_fclose(stream);
    if (!fail) return rc;
    errno = saved;
    return EOF;
}

// getgrnam_r reports its failure as its result, not through errno.
int __real_getgrnam_r(const char *, struct group *, char *, size_t, struct group **);
int __wrap_getgrnam_r(const char *name, struct group *grp, char *buf, size_t size, struct group **result) {
    if (inject(Call::getgrnam_r)) {
        *result = nullptr;
        return errno;
    }
    return __real_getgrnam_r(name, grp, buf, size, result);
}

}  // extern "C"
