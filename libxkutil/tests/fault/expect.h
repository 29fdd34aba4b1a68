// Checks shared by the fault tests: the trace chain a failure leaves, innermost first.
#ifndef XK_TESTS_FAULT_EXPECT_H
#define XK_TESTS_FAULT_EXPECT_H

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/capture.h"
#include "xk/status.h"

namespace xk::fault {

constexpr uint32_t kNoMem = XK_ERR_NOMEM;
constexpr uint32_t kSystem = XK_ERR_SYSTEM;

// The functions that traced, innermost first, each with the status it recorded.
inline std::vector<std::pair<std::string, uint32_t>> chain(
    const std::vector<xk::test::TraceRecord> &records) {
    std::vector<std::pair<std::string, uint32_t>> out;
    for (const auto &r : records) out.emplace_back(r.func, r.status);
    return out;
}

using Chain = std::vector<std::pair<std::string, uint32_t>>;

// The text of every log line, in the order logged.
inline std::vector<std::string> texts(const std::vector<xk::test::LogLine> &lines) {
    std::vector<std::string> out;
    for (const auto &l : lines) out.push_back(l.text);
    return out;
}

using Texts = std::vector<std::string>;

}  // namespace xk::fault

#endif
