// Helpers for the file, directory and permission tests: scratch directories, whole-file
// reads and writes with the standard library, and unprivileged children.
#ifndef XK_TESTS_FILE_SUPPORT_H
#define XK_TESTS_FILE_SUPPORT_H

#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

namespace xk::test {

// A fresh directory under /tmp, removed with everything in it.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/xkutil-files-XXXXXX";
        if (mkdtemp(pattern) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        if (path_.empty()) return;
        // Give back write permission that a test may have taken away, then remove.
        std::error_code ec;
        for (auto &entry : std::filesystem::recursive_directory_iterator(path_, ec))
            if (entry.is_directory(ec))
                std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void write_text(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string read_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `body` in a forked child that has no privilege: when the test runs as root the child
// first drops to user and group 65534. `body` returns "" when its checks pass, otherwise a
// description of what failed. The result is the child's verdict, or "SKIP: ..." when the
// privilege cannot be dropped here.
inline std::string run_unprivileged(const std::function<std::string()> &body) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return "pipe failed";
    pid_t pid = fork();
    if (pid == -1) return "fork failed";
    if (pid == 0) {
        close(pipe_fds[0]);
        std::string verdict;
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            verdict = "SKIP: cannot drop to user 65534";
        else if (geteuid() == 0)
            verdict = "SKIP: still privileged";
        else
            verdict = body();
        (void)!write(pipe_fds[1], verdict.data(), verdict.size());
        _exit(0);
    }
    close(pipe_fds[1]);
    std::string verdict;
    char chunk[256];
    ssize_t n;
    while ((n = read(pipe_fds[0], chunk, sizeof chunk)) > 0) verdict.append(chunk, static_cast<size_t>(n));
    close(pipe_fds[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    if (!WIFEXITED(wstatus) || WEXITSTATUS(wstatus) != 0) return "child did not exit cleanly";
    return verdict;
}

// Fails the test with the child's description, or skips it.
#define XK_EXPECT_CHILD_PASSES(verdict)                    \
    do {                                                   \
        std::string v_ = (verdict);                        \
        if (v_.rfind("SKIP:", 0) == 0) GTEST_SKIP() << v_; \
        EXPECT_EQ(v_, "");                                 \
    } while (0)

// Collects failed checks inside an unprivileged child.
class ChildChecks {
public:
    template <typename A, typename B>
    void equal(const A &actual, const B &expected, const char *what) {
        if (!(actual == expected)) {
            std::ostringstream out;
            out << what << ": got " << actual << ", want " << expected << "; ";
            failures_ += out.str();
        }
    }
    std::string verdict() const { return failures_; }

private:
    std::string failures_;
};

}  // namespace xk::test

#endif
