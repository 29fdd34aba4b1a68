// Fails any test after which the process holds a descriptor it did not hold before the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

constexpr int kHighestChecked = 4096;

std::vector<int> open_descriptors() {
    std::vector<int> open;
    for (int fd = 0; fd < kHighestChecked; ++fd)
        if (fcntl(fd, F_GETFD) != -1) open.push_back(fd);
    return open;
}

std::string target_of(int fd) {
    char link[64], target[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof target - 1);
    return n < 0 ? "?" : std::string(target, static_cast<size_t>(n));
}

class DescriptorGuard : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override { before_ = open_descriptors(); }
    void OnTestEnd(const ::testing::TestInfo &) override {
        for (int fd : open_descriptors())
            if (std::find(before_.begin(), before_.end(), fd) == before_.end())
                ADD_FAILURE() << "descriptor " << fd << " (" << target_of(fd) << ") left open by the test";
    }
    std::vector<int> before_;
};

// Runs ahead of the result printer, so that a leak shows in the test's own verdict.
const bool installed = [] {
    auto &listeners = ::testing::UnitTest::GetInstance()->listeners();
    ::testing::TestEventListener *printer = listeners.Release(listeners.default_result_printer());
    listeners.Append(new DescriptorGuard);
    if (printer != nullptr) listeners.Append(printer);
    return true;
}();

}  // namespace
