// SPDX-License-Identifier: MIT
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include "internal/guards.h"
#include "internal/pid_file.h"
#include "internal/report.h"
#include "xk/file.h"
#include "xk/format.h"
#include "xk/memory.h"
#include "xk/pidfile.h"

namespace report = xk::report;

namespace {
constexpr const char *kSource = "src/process/pid_file_linux";
constexpr size_t kMaxExeName = 100;

// Holds the flock of an existing pid file and releases it, then the descriptor, on every road.
class LockedFd {
public:
    explicit LockedFd(int fd) : fd_(fd) {}
    ~LockedFd() {
        flock(fd_, LOCK_UN);
        close(fd_);
    }
    LockedFd(const LockedFd &) = delete;
    LockedFd &operator=(const LockedFd &) = delete;

private:
    int fd_;
};

// Steps after the lock: read, compare the owner's command line, write ours or report the owner.
xk_util_status examine_locked(const char *path, const char *exe_name, unsigned int *pid_out) {
    const char *func = "xk_util_claim_pid_file";
    char *raw_content = nullptr;
    size_t size = 0;
    xk_util_status st = xk_util_read_named_file(path, &raw_content, &size, nullptr);
    xk::MallocGuard<char> content(raw_content);
    if (st != XK_OK) return report::pass(func, kSource, __LINE__, st);
    if (size == 0) return write_pid_file(path);

    size_t len = xk_util_strnlen(exe_name, kMaxExeName + 1);
    if (len > kMaxExeName) return report::trace(func, kSource, __LINE__, XK_ERR_INVALID);

    char *raw_exe = nullptr;
    st = map_pid_to_exe(content.get(), &raw_exe, len + 1);
    xk::MallocGuard<char> exe(raw_exe);
    if (st != XK_OK) return report::pass(func, kSource, __LINE__, st);
    if (exe.get() == nullptr || strncmp(exe.get(), exe_name, len) != 0) return write_pid_file(path);

    unsigned int owner = 0;
    if (sscanf(content.get(), "%u", &owner) != 1)
        return report::trace(func, kSource, __LINE__, XK_ERR_SYSTEM);
    *pid_out = owner;
    return report::trace(func, kSource, __LINE__, XK_ERR_ALREADY_RUNNING);
}
}  // namespace

extern "C" {

xk_util_status map_pid_to_exe(const char *pid_text, char **exe_out, size_t max) {
    *exe_out = nullptr;
    char *raw_path = nullptr;
    xk_util_status st = xk_util_asprintf(&raw_path, nullptr, "/proc/%s/cmdline", pid_text);
    xk::MallocGuard<char> path(raw_path);
    if (st != XK_OK) return report::pass(__func__, kSource, __LINE__, st);

    xk::FdGuard fd(open(path.get(), O_RDONLY));
    int open_errno = errno;
    path.reset();
    if (!fd.valid()) {
        if (open_errno == ENOENT) return XK_OK;
        return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    }

    xk::MallocGuard<char> exe(static_cast<char *>(calloc(max + 1, 1)));
    if (!exe) return report::trace(__func__, kSource, __LINE__, XK_ERR_NOMEM);
    ssize_t got = read(fd.get(), exe.get(), max);
    fd.reset();
    // An empty command line (kernel thread, zombie) or a read error leaves *exe_out NULL.
    if (got > 0) *exe_out = exe.release();
    return XK_OK;
}

xk_util_status write_pid_file(const char *path) {
    FILE *stream = fopen(path, "w");
    if (stream == nullptr)
        return report::sys(__func__, kSource, __LINE__, errno, nullptr, "Failed to open pid file %s", path);
    fprintf(stream, "%u", static_cast<unsigned int>(getpid()));

    xk_util_status result = XK_OK;
    if (fflush(stream) == EOF) {
        report::log_errno(__func__, kSource, __LINE__, errno, "Failed to flush written pid file %s", path);
        result = XK_ERR_SYSTEM;
    }
    if (fclose(stream) != 0) {
        report::log_errno(__func__, kSource, __LINE__, errno, "Failed to close written pid file %s", path);
        result = XK_ERR_SYSTEM;
    }
    return result;
}

xk_util_status xk_util_claim_pid_file(const char *path, const char *exe_name, unsigned int *pid_out) {
    if (path == nullptr || exe_name == nullptr || pid_out == nullptr)
        return report::null_arg(__func__, kSource, __LINE__);

    xk::FdGuard created(open(path, O_RDWR | O_CREAT | O_EXCL, 0664));
    if (created.valid()) return write_pid_file(path);
    int create_errno = errno;
    if (create_errno == EACCES) return report::trace(__func__, kSource, __LINE__, XK_ERR_ACCESS);
    if (create_errno != EEXIST)
        return report::sys(__func__, kSource, __LINE__, create_errno, nullptr, "Cannot access pid file %s",
                           path);

    xk::FdGuard existing(open(path, O_RDWR));
    if (!existing.valid())
        return report::sys(__func__, kSource, __LINE__, errno, nullptr, "Failed to open pid file %s", path);
    if (flock(existing.get(), LOCK_EX | LOCK_NB) != 0)
        return report::sys(__func__, kSource, __LINE__, errno, nullptr, "Failed to lock PID file %s", path);

    LockedFd locked(existing.release());
    return examine_locked(path, exe_name, pid_out);
}

}  // extern "C"
