// SPDX-License-Identifier: MIT
#include "support/capture.h"
#include "xk/xkutil.hpp"

static_assert(xk::status_name(XK_ERR_TIMEOUT) == "XK_ERR_TIMEOUT");

// Files, scans and text through the C++ layer; a child that outlives its deadline is killed and
// reaped, and a waited-for handle is spent.
TEST(CppLayer, FilesScansTextStatusNamesAndProcesses) {
    xk::test::TempDir dir;
    for (const char *name : {"beta", "Alpha"}) xk::write_named_file(dir / name, "one\n");
    xk::write_named_file(dir / "beta", "two\n", false);
    std::vector<std::string> names;
    for (const std::string &name : xk::DirScan(dir.path())) names.push_back(name);
    xk::StrBuf sb(4);
    sb.append_f("%d-%s", 42, "x"), sb.append(" 100% "), sb.substitute("%", "%s%d");  // '%' stays text
    auto done = xk::spawn({"/bin/sh", "-c", "exit 3"}), slow = xk::spawn({"/bin/sleep", "30"});
    pid_t pid = slow.value.pid();
    auto code = done.value.wait_for(30), killed = slow.value.wait_for(0.05);
    EXPECT_EQ(
        std::tuple(names, xk::read_named_file(dir / "beta").value, xk::status_name(1), sb.view(), code.value,
                   done.value.valid(), killed.status, kill(pid, 0), done.value.wait().status,
                   xk::DirScan(dir / "none").valid()),  // logged to stderr: no capture here
        std::tuple(std::vector<std::string>{"Alpha", "beta"}, "one\ntwo\n", "XK_ERR_UNKNOWN", "42-x 100%s%d ",
                   3, false, XK_ERR_TIMEOUT, -1, XK_ERR_NULL_ARG, false));
}
