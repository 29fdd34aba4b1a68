// SPDX-License-Identifier: MIT
// A small C++ program on the header-only layer: it claims a pid file in a fresh temporary
// directory, runs a child with a deadline, and writes a durable report of what happened.
// Built with -fno-exceptions, as the library's own C++ users build.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "xk/errortrace.h"
#include "xk/xkutil.hpp"

namespace {

// Prints what failed and gives the exit code for it.
int failed(const char *what, xk_util_status status) {
    fprintf(stderr, "report: %s: %.*s\n", what, static_cast<int>(xk::status_name(status).size()),
            xk::status_name(status).data());
    xk_trace_write(stderr);
    return 1;
}

// Removes the temporary directory and what the program put in it.
struct Workspace {
    std::string dir;
    ~Workspace() {
        if (dir.empty()) return;
        for (const char *name : {"/report.pid", "/report.txt"})
            xk_util_delete_file((dir + name).c_str(), nullptr);
        rmdir(dir.c_str());
    }
};

}  // namespace

int main(int argc, char **argv) {
    char tmpl[] = "/tmp/xk-report-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return failed("mkdtemp", XK_ERR_SYSTEM);
    Workspace work{tmpl};

    // The pid file names this program; a second copy running on the same file would be refused.
    std::string exe = argc > 0 ? std::string(argv[0]).substr(0, 100) : "report";
    auto claim = xk::claim_pid_file(work.dir + "/report.pid", exe);
    if (!claim.ok()) return failed("claim pid file", claim.status);

    auto child = xk::spawn({"/bin/sleep", "0"});
    if (!child.ok()) return failed("spawn /bin/sleep", child.status);
    pid_t child_pid = child.value.pid();
    auto code = child.value.wait_for(10);
    if (!code.ok()) return failed("wait for /bin/sleep", code.status);

    xk::StrBuf text;
    if (!text.valid()) return failed("text buffer", XK_ERR_NOMEM);
    text.append_f("pid file: %s/report.pid (pid %d)\n", work.dir.c_str(), static_cast<int>(getpid()));
    text.append_f("child: /bin/sleep 0, pid %d, exit code %d\n", static_cast<int>(child_pid), code.value);

    // Written, fsynced and its directory fsynced: the report survives a crash once this returns.
    std::string report_path = work.dir + "/report.txt";
    xk_util_status st = xk::write_named_file(report_path, text.view());
    if (st != XK_OK) return failed("write report", st);

    auto back = xk::read_named_file(report_path);
    if (!back.ok()) return failed("read report", back.status);
    if (back.value != text.view()) return failed("report reads back different", XK_ERR_INVALID);
    fputs(back.value.c_str(), stdout);
    return code.value == 0 ? 0 : 1;
}
