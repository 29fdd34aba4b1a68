// Helpers for the tests that touch files: scratch directories, whole-file reads and writes with
// the standard library, and checks run without privilege.
#ifndef XK_TESTS_FILE_SUPPORT_H
#define XK_TESTS_FILE_SUPPORT_H

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "support/capture.h"

namespace xk::test {

// A fresh directory under /tmp, removed with everything in it (write permission given back first).
struct TempDir {
    std::string path_ = std::filesystem::temp_directory_path() / "xkutil-XXXXXX";
    TempDir() { mkdtemp(path_.data()); }
    ~TempDir() { std::system(("chmod -R u+rwx " + path_ + " && rm -rf " + path_).c_str()); }
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }
};

inline void write_text(const std::string &path, const std::string &text) { std::ofstream(path) << text; }

inline std::string read_text(const std::string &path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Runs `body` in a forked child without privilege (as root the child first drops to user and
// group 65534). The child's failed checks print as usual and fail the test here.
inline void run_unprivileged(const std::function<void()> &body) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0 && geteuid() == 0 && (setgroups(0, nullptr) || setgid(65534) || setuid(65534))) _exit(2);
    if (pid == 0) body(), fflush(nullptr), _exit(::testing::Test::HasFailure());
    int status = 0;
    waitpid(pid, &status, 0);
    if (status == 2 << 8) GTEST_SKIP() << "cannot drop privilege here";
    EXPECT_EQ(status, 0) << "checks without privilege failed";
}

}  // namespace xk::test

#endif
