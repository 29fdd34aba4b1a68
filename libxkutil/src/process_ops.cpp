// SPDX-License-Identifier: MIT
#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "internal/guards.h"
#include "internal/process.h"
#include "internal/report.h"
#include "internal/timeout.h"
#include "xk/format.h"
#include "xk/process.h"
#include "xk/time.h"

namespace {
constexpr const char *kSource = "src/process_ops";

constexpr int kFirstSignal = 1;
constexpr int kLastSignal = 31;
constexpr size_t kCmdlineBuffer = 300;

bool is_standard_signal(int sig) { return sig >= kFirstSignal && sig <= kLastSignal; }

// SIGTERM must still end the process; SIGKILL and SIGSTOP cannot be changed anyway.
bool is_protected_signal(int sig) { return sig == SIGKILL || sig == SIGTERM || sig == SIGSTOP; }

// Installs the handler alone (empty mask, no flags); 0 on success, else errno.
int set_disposition(int sig, void (*handler)(int)) {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    return sigaction(sig, &action, nullptr) == 0 ? 0 : errno;
}

// Releases what scandir handed out, entries first.
class DirentList {
public:
    DirentList() = default;
    ~DirentList() {
        for (int i = 0; i < count_; ++i) free(list_[i]);
        free(list_);
    }
    DirentList(const DirentList &) = delete;
    DirentList &operator=(const DirentList &) = delete;
    struct dirent ***out() {
        return &list_;
    }
    void set_count(int count) { count_ = count; }
    const struct dirent *operator[](int i) const { return list_[i]; }

private:
    struct dirent **list_ = nullptr;
    int count_ = 0;
};

// Reads the first bytes of a /proc cmdline into buffer (zero-filled); false when the process is
// gone or the read failed.
bool read_cmdline(const char *path, char (&buffer)[kCmdlineBuffer]) {
    xk::FdGuard fd(open(path, O_RDONLY));
    if (!fd.valid()) return false;
    memset(buffer, 0, sizeof buffer);
    return read(fd.get(), buffer, sizeof buffer - 1) >= 0;
}

}  // namespace

extern "C" {

xk_util_status xk_util_ignore_signal(int sig) {
    using namespace xk;
    if (is_protected_signal(sig) || !is_standard_signal(sig)) return XK_OK;
    int err = set_disposition(sig, SIG_IGN);
    if (err == 0) return XK_OK;
    report::log_errno(__func__, kSource, __LINE__, err, "Failed to set ignore signal %s (%d)", strsignal(sig),
                      sig);
    return XK_ERR_SYSTEM;
}

xk_util_status xk_util_ignore_common_signals(void) {
    using namespace xk;
    xk_util_status result = XK_OK;
    for (int sig = kFirstSignal; sig <= kLastSignal; ++sig) {
        if (is_protected_signal(sig)) continue;
        int err = set_disposition(sig, SIG_IGN);
        if (err == 0) continue;
        report::log_errno(__func__, kSource, __LINE__, err, "Failed to set ignore signal %s (%d)",
                          strsignal(sig), sig);
        result = XK_ERR_SYSTEM;
    }
    return result;
}

xk_util_status xk_util_reset_signal(int sig) {
    using namespace xk;
    if (!is_standard_signal(sig))
        return report::error(__func__, kSource, __LINE__, XK_ERR_INVALID,
                             "Invalid or unsupported signal value %d", sig);
    int err = set_disposition(sig, SIG_DFL);
    if (err == 0) return XK_OK;
    report::log_errno(__func__, kSource, __LINE__, err, "Failed to reset signal %s (%d)", strsignal(sig),
                      sig);
    return XK_ERR_SYSTEM;
}

}  // extern "C"

int vet_possible_directory(const struct dirent *entry) {
    using namespace xk;
    if (entry == nullptr || entry->d_type != DT_DIR) return 0;
    for (const char *c = entry->d_name; *c != '\0'; ++c)
        if (!isdigit(static_cast<unsigned char>(*c))) return 0;
    MallocGuard<char> path;
    xk_util_status st = xk_util_asprintf(path.out(), nullptr, "/proc/%s/cmdline", entry->d_name);
    if (st != XK_OK) {
        report::pass(__func__, kSource, __LINE__, st);
        report::log_error(__func__, "Failed to allocate path");
        return 0;
    }
    FdGuard fd(open(path.get(), O_RDONLY));
    return fd.valid() ? 1 : 0;
}

// name is tested as well (it is compared with every command line); count_out is required.
xk_util_status xk_util_pid_of(const char *name, int exact, unsigned int **pids_out, unsigned int *count_out) {
    using namespace xk;
    if (name == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    DirentList list;
    int n = scandir("/proc", list.out(), vet_possible_directory, alphasort);
    if (n == -1) return report::sys(__func__, kSource, __LINE__, errno, nullptr, "Failed to open /proc");
    list.set_count(n);
    if (n == 0) {
        report::note(__func__, "Nothing suitable in /proc");
        if (pids_out != nullptr) *pids_out = nullptr;
        *count_out = 0;
        return XK_OK;
    }
    unsigned int *pids = nullptr;
    if (pids_out != nullptr) {
        pids = static_cast<unsigned int *>(malloc(static_cast<size_t>(n) * sizeof(unsigned int)));
        *pids_out = pids;
        if (pids == nullptr)
            return report::error(__func__, kSource, __LINE__, XK_ERR_NOMEM, "Failed to allocate memory");
    }
    unsigned int matches = 0;
    for (int i = 0; i < n; ++i) {
        MallocGuard<char> path;
        xk_util_status st = xk_util_asprintf(path.out(), nullptr, "/proc/%s/cmdline", list[i]->d_name);
        if (st != XK_OK) {
            report::pass(__func__, kSource, __LINE__, st);
            report::log_error(__func__, "Failed to allocate path");
            return st;
        }
        char cmdline[kCmdlineBuffer];
        if (!read_cmdline(path.get(), cmdline)) continue;
        bool match = exact == 1 ? strcmp(cmdline, name) == 0 : strstr(cmdline, name) != nullptr;
        if (!match) continue;
        if (pids != nullptr) sscanf(list[i]->d_name, "%u", &pids[matches]);
        ++matches;
    }
    *count_out = matches;
    return XK_OK;
}

// Polls at once, then once a second; kills the child with SIGKILL at the first poll after
// the deadline. When the clock cannot be read the expiry question has no answer, so the
// wait ends as at the deadline rather than polling forever.
xk_util_status xk_util_await_child_timeout(pid_t pid, int seconds) {
    using namespace xk;
    xk_util_timeout deadline;
    (void)xk_util_future_timeout(&deadline, seconds, 1);
    for (;;) {
        pid_t ended = waitpid(pid, nullptr, WNOHANG);
        if (ended == -1)
            return report::sys(__func__, kSource, __LINE__, errno, nullptr,
                               "Failed to wait for child process %d to end", pid);
        if (ended != 0) return XK_OK;
        int expired = 0;
        if (xk_util_query_timeout_expired(&deadline, &expired) != XK_OK || expired != 0) break;
        sleep(1);
    }
    if (kill(pid, SIGKILL) == -1)
        report::log_errno(__func__, kSource, __LINE__, errno, "Failed to kill process %d", pid);
    return report::trace(__func__, kSource, __LINE__, XK_ERR_TIMEOUT);
}
