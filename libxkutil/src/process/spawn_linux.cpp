// SPDX-License-Identifier: MIT
#include <errno.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "internal/report.h"
#include "xk/process.h"

namespace {
constexpr const char *kSource = "src/process/spawn_linux";
}

extern "C" {

// NULL argv, envp or handle_out are refused: the child could only crash on them.
xk_util_status xk_spawn(char *const argv[], char *const envp[], xk_proc_handle **handle_out) {
    using namespace xk;
    if (argv == nullptr || envp == nullptr || handle_out == nullptr)
        return report::null_arg(__func__, kSource, __LINE__);
    // The handle is published before the fork, so it is in place in the parent as soon as the
    // child exists.
    *handle_out = static_cast<xk_proc_handle *>(malloc(sizeof(xk_proc_handle)));
    if (*handle_out == nullptr) return report::trace(__func__, kSource, __LINE__, XK_ERR_NOMEM);
    pid_t pid = fork();
    if (pid == -1) {
        free(*handle_out);
        *handle_out = nullptr;
        return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    }
    if (pid == 0) {
        execve(argv[0], argv, envp);
        exit(1);
    }
    (*handle_out)->pid = pid;
    return XK_OK;
}

// A NULL exit_status is refused before waiting, so the child is not reaped unseen.
xk_util_status xk_wait(xk_proc_handle **handle, int *exit_status) {
    using namespace xk;
    if (handle == nullptr || *handle == nullptr || exit_status == nullptr)
        return report::null_arg(__func__, kSource, __LINE__);
    pid_t pid = (*handle)->pid;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return report::sys(__func__, kSource, __LINE__, errno, nullptr, "Failed to wait on process %d", pid);
    free(*handle);
    *handle = nullptr;
    *exit_status = -1;
    if ((status & 0x7f) == 0) *exit_status = (status >> 8) & 0xff;
    return XK_OK;
}

void xk_free_proc_handle(xk_proc_handle **handle) {
    if (handle == nullptr || *handle == nullptr) return;
    free(*handle);
    *handle = nullptr;
}

unsigned int xk_util_sleep(unsigned int seconds) { return sleep(seconds); }

}  // extern "C"
