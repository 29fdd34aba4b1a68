// Test support: reads back what the library reported through the companions.
#ifndef XK_TESTS_CAPTURE_H
#define XK_TESTS_CAPTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xk/errortrace.h"
#include "xk/log.h"

namespace xk::test {

struct LogLine {
    int level;
    int flags;
    std::string func;
    std::string file;
    int line;
    std::string text;
};

struct TraceRecord {
    std::string func;
    std::string file;
    int line;
    uint32_t status;
};

// Collects every log line (all levels) and starts each test with an empty trace.
class Capture {
public:
    Capture();
    ~Capture();
    Capture(const Capture &) = delete;
    Capture &operator=(const Capture &) = delete;

    const std::vector<LogLine> &lines() const { return lines_; }
    std::vector<TraceRecord> traces() const;
    void clear();

private:
    static void sink(void *context, int level, int flags, const char *func, const char *file, int line,
                     const char *text);
    std::vector<LogLine> lines_;
    int old_threshold_;
};

// Base fixture for tests that assert what was traced and logged.
class ReportingTest : public ::testing::Test {
protected:
    Capture capture;
    const std::vector<LogLine> &lines() const { return capture.lines(); }
    std::vector<TraceRecord> traces() const { return capture.traces(); }
    // Asserts exactly one trace record, with this function name and status.
    void expect_single_trace(const char *func, uint32_t status) const;
};

}  // namespace xk::test

#endif
