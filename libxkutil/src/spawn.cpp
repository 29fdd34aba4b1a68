// SPDX-License-Identifier: MIT
#include "internal/report.h"
#include "xk/process.h"

namespace {
constexpr const char *kSource = "src/spawn";
}

extern "C" {

// When the wait fails the handle is freed here: the caller could never reach it.
xk_util_status xk_spawn_and_wait(char *const argv[], char *const envp[], int *exit_status) {
    using namespace xk;
    xk_proc_handle *handle = nullptr;
    xk_util_status st = xk_spawn(argv, envp, &handle);
    if (st != XK_OK) return report::pass(__func__, kSource, __LINE__, st);
    st = xk_wait(&handle, exit_status);
    xk_free_proc_handle(&handle);
    return st;
}

}  // extern "C"
