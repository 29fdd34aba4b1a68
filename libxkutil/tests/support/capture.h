/* SPDX-License-Identifier: MIT */
// Test support: the library's headers, what the library reported through the companions read
// back, with one fixture that every reporting test shares, and scratch files for the file tests.
#ifndef XK_TESTS_CAPTURE_H
#define XK_TESTS_CAPTURE_H

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "xk/errortrace.h"
#include "xk/log.h"
#include "xk/xkutil.h"

namespace xk::test {

// qemu-user answers for the guest itself in places (/proc/self) and is slow: a few cases skip there.
inline bool under_emulator() { return getenv("XK_UNDER_EMULATOR") && getenv("XK_UNDER_EMULATOR")[0] == '1'; }

// clang-format off
struct LogLine { int level, flags; std::string func, file; int line; std::string text; };
struct TraceRecord { std::string func, file; int line; uint32_t status; };
// clang-format on

// Collects every log line (all levels) and starts each test with an empty trace.
class Capture {
public:
    Capture();
    ~Capture();
    const std::vector<LogLine> &lines() const { return lines_; }
    std::vector<TraceRecord> traces() const;
    void clear() { lines_.clear(), xk_trace_clear(); }

private:
    std::vector<LogLine> lines_;
    int old_threshold_;
};

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
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A log line of the errno pattern: the message, two spaces, "Reason: " and the system's text.
inline std::string with_reason(const std::string &message, int err) {
    return message + "  Reason: " + strerror(err);
}

// Base fixture for tests that assert what was traced and logged.
class ReportingTest : public ::testing::Test {
protected:
    Capture capture;
    const std::vector<LogLine> &lines() const { return capture.lines(); }
    std::vector<TraceRecord> traces() const { return capture.traces(); }
    // Asserts the status, the number of trace records it left (one per level of the call chain;
    // by default 1 for a failure and 0 for a success), each holding that status, and the texts
    // logged; then clears both so that the next case starts empty.
    void expect_report(uint32_t got, uint32_t want, const std::vector<std::string> &texts = {},
                       int depth = -1);
    // The statuses, then "; <function> <status>" per trace record (the function without "xk_util_") and
    // " | <text>" per log line (each record must name a source file and line); clears both.
    std::string chain(const std::vector<uint32_t> &statuses);
    // Asserts that every call returned `want`, with one trace record each for a failure, and no log line.
    void expect_all(const std::vector<uint32_t> &got, uint32_t want = XK_ERR_NULL_ARG) {
        EXPECT_EQ(got, std::vector(got.size(), want));
        expect_report(want, want, {}, want == XK_OK ? 0 : static_cast<int>(got.size()));
    }
};

}  // namespace xk::test

#endif
