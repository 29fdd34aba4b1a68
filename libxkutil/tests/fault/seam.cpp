#include "fault/seam.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <unordered_set>

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

// Decides whether this call fails; sets errno when it does.
bool inject(Call call) {
    Countdown &c = g_calls[static_cast<int>(call)];
    ++c.calls;
    if (c.remaining < 0 || c.remaining-- != 0) return false;
    c.fired = true;
    errno = c.err;
    return true;
}

// The set's own nodes come from operator new inside libstdc++, which the wrapping never sees.
std::unordered_set<void *> &live() {
    static auto *blocks = new std::unordered_set<void *>;
    return *blocks;
}

void *remember(void *p) {
    if (p != nullptr) live().insert(p);
    return p;
}

}  // namespace

void arm(Call call, long nth, int err) {
    g_calls[static_cast<int>(call)] =
        Countdown{nth < 0 ? -1 : nth, 0, call == Call::malloc_family ? ENOMEM : err};
}

void disarm_all() {
    for (auto &c : g_calls) c = Countdown{};
}

long seen(Call call) { return g_calls[static_cast<int>(call)].calls; }
bool fired(Call call) { return g_calls[static_cast<int>(call)].fired; }
size_t live_blocks() { return live().size(); }

int open_descriptors() {
    DIR *dir = __real_opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int count = 0;
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
    return count - 3;  // ".", ".." and the directory's own descriptor
}

}  // namespace xk::fault

using xk::fault::Call;
using xk::fault::inject;
using xk::fault::remember;

extern "C" {

void *__real_malloc(size_t);
void *__real_calloc(size_t, size_t);
void *__real_realloc(void *, size_t);
void __real_free(void *);
char *__real_strdup(const char *);
char *__real_strndup(const char *, size_t);

void *__wrap_malloc(size_t size) {
    return inject(Call::malloc_family) ? nullptr : remember(__real_malloc(size));
}
void *__wrap_calloc(size_t n, size_t size) {
    return inject(Call::malloc_family) ? nullptr : remember(__real_calloc(n, size));
}
char *__wrap_strdup(const char *s) {
    return inject(Call::malloc_family) ? nullptr : static_cast<char *>(remember(__real_strdup(s)));
}
char *__wrap_strndup(const char *s, size_t n) {
    return inject(Call::malloc_family) ? nullptr : static_cast<char *>(remember(__real_strndup(s, n)));
}

void *__wrap_realloc(void *old, size_t size) {
    if (inject(Call::malloc_family)) return nullptr;
    void *p = __real_realloc(old, size);
    if (p != nullptr || size == 0) xk::fault::live().erase(old);
    return remember(p);
}

void __wrap_free(void *p) {
    if (p != nullptr) xk::fault::live().erase(p);
    __real_free(p);
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
    return inject(Call::open) ? -1 : __real_open(path, flags, mode);
}

#define XK_FAULT_WRAP(ret, name, fail_value, params, args) \
    ret __real_##name params;                              \
    ret __wrap_##name params { return inject(Call::name) ? fail_value : __real_##name args; }
XK_FAULT_PLAIN_CALLS(XK_FAULT_WRAP)

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

int __real_getgrnam_r(const char *, struct group *, char *, size_t, struct group **);
int __wrap_getgrnam_r(const char *name, struct group *grp, char *buf, size_t size, struct group **result) {
    if (!inject(Call::getgrnam_r)) return __real_getgrnam_r(name, grp, buf, size, result);
    *result = nullptr;
    return errno;
}

}  // extern "C"
