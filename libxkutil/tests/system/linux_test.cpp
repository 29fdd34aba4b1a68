#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "internal/process.h"
#include "support/capture.h"
#include "xk/system.h"

namespace {

using ProcStatTest = xk::test::ReportingTest;

bool is_zero(const xk_util_proc_stat_record &r) {
    xk_util_proc_stat_record zero;
    memset(&zero, 0, sizeof zero);
    return memcmp(&r, &zero, sizeof r) == 0;
}

// A stat line with field n holding the number n, the command name given, and `fields` fields.
std::string numbered_line(const std::string &comm, int fields) {
    std::string line = "1 " + comm + " R";
    for (int n = 4; n <= fields; ++n) line += " " + std::to_string(n);
    return line + "\n";
}

class StatFile {
public:
    explicit StatFile(const std::string &text) {
        char pattern[] = "/tmp/xk-stat-XXXXXX";
        int fd = mkstemp(pattern);
        path_ = pattern;
        (void)!write(fd, text.data(), text.size());
        close(fd);
    }
    ~StatFile() { unlink(path_.c_str()); }
    const char *path() const { return path_.c_str(); }

private:
    std::string path_;
};

TEST(ThreadId, IsThePidInTheMainThreadAndDiffersInAnother) {
    EXPECT_EQ(xk_util_tid(), static_cast<int64_t>(getpid()));
    int64_t other = 0;
    std::thread([&] { other = xk_util_tid(); }).join();
    EXPECT_NE(other, static_cast<int64_t>(getpid()));
    EXPECT_GT(other, 0);
}

TEST_F(ProcStatTest, SelfAndOwnPidAgree) {
    xk_util_proc_stat_record self, own;
    ASSERT_EQ(xk_util_proc_stat(&self, 0), XK_OK);
    ASSERT_EQ(xk_util_proc_stat(&own, getpid()), XK_OK);
    EXPECT_EQ(self.pid, getpid());
    EXPECT_EQ(own.pid, self.pid);
    EXPECT_EQ(self.ppid, getppid());
    EXPECT_EQ(own.ppid, self.ppid);
    // qemu-user writes its own /proc/self/stat: pid and ppid right, the other fields 0.
    if (const char *e = getenv("XK_UNDER_EMULATOR"); e == nullptr || e[0] != '1') {
        EXPECT_EQ(self.state, 'R');
        EXPECT_GE(self.num_threads, 1u);
    }
    EXPECT_TRUE(traces().empty());
}

TEST_F(ProcStatTest, MissingProcessGivesNotFoundAndAClearedRecord) {
    xk_util_proc_stat_record r;
    memset(&r, 0xa5, sizeof r);
    EXPECT_EQ(xk_util_proc_stat(&r, 99999999), XK_ERR_NOT_FOUND);
    EXPECT_TRUE(is_zero(r));
    expect_single_trace("xk_util_proc_stat", XK_ERR_NOT_FOUND);
    EXPECT_TRUE(lines().empty());
}

TEST_F(ProcStatTest, NullRecordIsRefused) {
    EXPECT_EQ(xk_util_proc_stat(nullptr, 0), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_proc_stat", XK_ERR_NULL_ARG);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, "ret_proc_stat is NULL");
}

TEST_F(ProcStatTest, FieldsLandInTheirPlacesWithTheirConversions) {
    std::string line = numbered_line("(tool)", 52);
    line.replace(line.find(" 19 "), 4, " -5 ");
    StatFile file(line);
    xk_util_proc_stat_record r;
    ASSERT_EQ(xk_util_proc_stat_from_file(&r, file.path()), XK_OK);
    EXPECT_EQ(r.pid, 1);
    EXPECT_EQ(r.state, 'R');
    EXPECT_EQ(r.ppid, 4);
    EXPECT_EQ(r.flags, 9u);
    EXPECT_EQ(r.utime, 14u);
    EXPECT_EQ(r.nice, 0ull - 5);
    EXPECT_EQ(static_cast<long>(r.nice), -5);
    EXPECT_EQ(r.starttime, 22u);
    EXPECT_EQ(r.rss, 24);
    EXPECT_EQ(r.exit_signal, 38);
    EXPECT_EQ(r.policy, 41u);
    EXPECT_EQ(r.delayacct_blkio_ticks, 42u);
}

// The name runs to the last ')' so that blanks and parentheses inside it move no field.
TEST_F(ProcStatTest, CommandNameWithBlanksAndParenthesesKeepsFieldsInPlace) {
    StatFile file(numbered_line("(a b) (c d)", 44));
    xk_util_proc_stat_record r;
    ASSERT_EQ(xk_util_proc_stat_from_file(&r, file.path()), XK_OK);
    EXPECT_EQ(r.state, 'R');
    EXPECT_EQ(r.ppid, 4);
    EXPECT_EQ(r.delayacct_blkio_ticks, 42u);
}

TEST_F(ProcStatTest, RealProcessNamedWithABlank) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_NAME, "xk a) b", 0, 0, 0);
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    close(ready[1]);
    xk_util_proc_stat_record r;
    xk_util_status st = xk_util_proc_stat(&r, pid);
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string comm;
    std::getline(in, comm);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    ASSERT_EQ(comm, "xk a) b");
    ASSERT_EQ(st, XK_OK);
    EXPECT_EQ(r.pid, pid);
    EXPECT_EQ(r.ppid, getpid());
    EXPECT_EQ(r.pgrp, getpgrp());
    EXPECT_EQ(r.session, getsid(0));
    EXPECT_TRUE(r.state == 'S' || r.state == 'R') << r.state;
}

TEST_F(ProcStatTest, LineShortOfTheLastFieldFailsKeepingWhatWasParsed) {
    std::string line = numbered_line("(tool)", 41);
    StatFile file(line);
    xk_util_proc_stat_record r;
    EXPECT_EQ(xk_util_proc_stat_from_file(&r, file.path()), XK_ERR_SYSTEM);
    expect_single_trace("xk_util_proc_stat", XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    std::string len = std::to_string(line.size() + 1);
    EXPECT_EQ(lines()[0].text, "Parsing logic failed, j=" + len + ", len=" + len + "\n");
    EXPECT_EQ(r.pid, 1);
    EXPECT_EQ(r.policy, 41u);
    EXPECT_EQ(r.delayacct_blkio_ticks, 0u);
}

TEST_F(ProcStatTest, DoubleBlankMakesAnEmptyFieldThatStaysZero) {
    std::string line = numbered_line("(tool)", 52);
    line.replace(line.find(" 4 "), 3, "  ");
    StatFile file(line);
    xk_util_proc_stat_record r;
    ASSERT_EQ(xk_util_proc_stat_from_file(&r, file.path()), XK_OK);
    EXPECT_EQ(r.ppid, 0);
    EXPECT_EQ(r.pgrp, 5);
}

TEST_F(ProcStatTest, EmptyFileIsAReadFailure) {
    StatFile file("");
    xk_util_proc_stat_record r;
    EXPECT_EQ(xk_util_proc_stat_from_file(&r, file.path()), XK_ERR_READ);
    expect_single_trace("xk_util_proc_stat", XK_ERR_READ);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text.rfind("getline() failed  Reason: ", 0), 0u);
    EXPECT_EQ(lines()[0].file, "src/system/linux");
}

// The same parse from memory: no newline needed, the line is cut in place, and the last field
// may end at the terminator.
TEST_F(ProcStatTest, LineFromMemoryParsesWithoutANewline) {
    std::string text = numbered_line("(a b) c)", 42);
    text.pop_back();
    std::vector<char> line(text.begin(), text.end());
    line.push_back('\0');
    xk_util_proc_stat_record r;
    memset(&r, 0xa5, sizeof r);
    ASSERT_EQ(xk_util_proc_stat_from_line(&r, line.data(), text.size()), XK_OK);
    EXPECT_EQ(r.pid, 1);
    EXPECT_EQ(r.state, 'R');
    EXPECT_EQ(r.ppid, 4);
    EXPECT_EQ(r.policy, 41u);
    EXPECT_EQ(r.delayacct_blkio_ticks, 42u);
    EXPECT_TRUE(traces().empty());
}

TEST_F(ProcStatTest, LineFromMemoryReportsUnderTheReaderName) {
    char empty[] = "";
    xk_util_proc_stat_record r;
    memset(&r, 0xa5, sizeof r);
    EXPECT_EQ(xk_util_proc_stat_from_line(&r, empty, 0), XK_ERR_SYSTEM);
    EXPECT_TRUE(is_zero(r));
    expect_single_trace("xk_util_proc_stat", XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, "Parsing logic failed, j=1, len=1\n");
    capture.clear();

    EXPECT_EQ(xk_util_proc_stat_from_line(&r, nullptr, 0), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_proc_stat", XK_ERR_NULL_ARG);
    EXPECT_TRUE(lines().empty());
    capture.clear();

    EXPECT_EQ(xk_util_proc_stat_from_line(nullptr, empty, 0), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_proc_stat", XK_ERR_NULL_ARG);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, "ret_proc_stat is NULL");
}

}  // namespace
