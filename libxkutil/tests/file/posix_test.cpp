#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>

#include "file/file_support.h"
#include "support/capture.h"
#include "xk/file.h"

namespace {

using xk::test::read_text;
using xk::test::TempDir;
using xk::test::write_text;
using PosixFileTest = xk::test::ReportingTest;

TEST_F(PosixFileTest, OpenJoinsFormattedPathAndPassesModeThrough) {
    TempDir dir;
    mode_t old_mask = umask(022);
    int fd = -5;
    int err = -1;
    EXPECT_EQ(xk_util_open(&fd, &err, O_WRONLY | O_CREAT | O_EXCL, 0640, "%s/%s", dir.path().c_str(), "made"),
              XK_OK);
    umask(old_mask);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(err, 0);
    close(fd);
    struct stat st;
    ASSERT_EQ(stat((dir / "made").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(traces().empty());
}

TEST_F(PosixFileTest, OpenFailureStoresMinusOneAndErrno) {
    TempDir dir;
    int fd = 7;
    int err = 0;
    EXPECT_EQ(xk_util_open(&fd, &err, O_RDONLY, 0, "%s/%s", dir.path().c_str(), "missing"), XK_ERR_SYSTEM);
    EXPECT_EQ(fd, -1);
    EXPECT_EQ(err, ENOENT);
    expect_single_trace("xk_util_open", XK_ERR_SYSTEM);
    EXPECT_TRUE(lines().empty());
    capture.clear();
    EXPECT_EQ(xk_util_open(nullptr, &err, O_RDONLY, 0, "x"), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_open", XK_ERR_NULL_ARG);
}

TEST_F(PosixFileTest, WholeWriteAndReadMoveEveryByte) {
    TempDir dir;
    std::string data(70000, 'q');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    int fd = open((dir / "f").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(xk_util_whole_write(fd, data.data(), static_cast<int64_t>(data.size()), nullptr), XK_OK);
    EXPECT_EQ(read_text(dir / "f"), data);
    ASSERT_EQ(lseek(fd, 0, SEEK_SET), 0);
    std::string back(data.size(), '\0');
    EXPECT_EQ(xk_util_whole_read(fd, back.data(), static_cast<int64_t>(back.size())), 70000);
    EXPECT_EQ(back, data);
    close(fd);
    EXPECT_TRUE(traces().empty());
}

TEST_F(PosixFileTest, WholeTransferArgumentChecks) {
    char byte = 'x';
    // A length of 0 makes no system call, so even a bad descriptor succeeds.
    EXPECT_EQ(xk_util_whole_write(-1, &byte, 0, nullptr), XK_OK);
    EXPECT_EQ(xk_util_whole_read(-1, &byte, 0), 0);
    EXPECT_TRUE(traces().empty());
    EXPECT_EQ(xk_util_whole_write(1, nullptr, 0, nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_whole_write", XK_ERR_NULL_ARG);
    capture.clear();
    EXPECT_EQ(xk_util_whole_write(1, &byte, -1, nullptr), XK_ERR_OVERFLOW);
    expect_single_trace("xk_util_whole_write", XK_ERR_OVERFLOW);
    capture.clear();
    EXPECT_EQ(xk_util_whole_read(0, nullptr, 4), -22);
    EXPECT_EQ(xk_util_whole_read(0, &byte, -1), -22);
    EXPECT_TRUE(traces().empty());
}

TEST_F(PosixFileTest, WholeTransferFailuresAndStall) {
    TempDir dir;
    write_text(dir / "short", "abc");
    int fd = open((dir / "short").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char buf[8];
    // End of file before len bytes: five zero-byte reads, not the partial count.
    EXPECT_EQ(xk_util_whole_read(fd, buf, 8), -11);
    int err = 0;
    EXPECT_EQ(xk_util_whole_write(fd, "z", 1, &err), XK_ERR_SYSTEM);
    EXPECT_EQ(err, EBADF);
    expect_single_trace("xk_util_whole_write", XK_ERR_SYSTEM);
    close(fd);
    errno = 0;
    EXPECT_EQ(xk_util_whole_read(fd, buf, 1), -1);
    EXPECT_EQ(errno, EBADF);
}

int g_alarms = 0;
int g_feed_fd = -1;
void on_alarm(int) {
    // A second signal feeds the pipe, so a loop that retried after EINTR would finish with 1.
    if (++g_alarms == 2) (void)!write(g_feed_fd, "x", 1);
}

TEST_F(PosixFileTest, WholeReadDoesNotRetryAfterInterruption) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    g_alarms = 0;
    g_feed_fd = fds[1];
    struct sigaction action = {}, old_action;
    action.sa_handler = on_alarm;  // no SA_RESTART: the blocked read returns EINTR
    ASSERT_EQ(sigaction(SIGALRM, &action, &old_action), 0);
    struct itimerval timer = {{0, 20000}, {0, 20000}}, off = {};
    ASSERT_EQ(setitimer(ITIMER_REAL, &timer, nullptr), 0);
    char byte = 0;
    errno = 0;
    int32_t got = xk_util_whole_read(fds[0], &byte, 1);
    int saved_errno = errno;
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &old_action, nullptr);
    close(fds[0]);
    close(fds[1]);
    EXPECT_EQ(got, -1);
    EXPECT_EQ(saved_errno, EINTR);
}

TEST_F(PosixFileTest, ReadFileReadsFromCurrentPosition) {
    TempDir dir;
    write_text(dir / "f", "hello");
    write_text(dir / "empty", "");
    int fd = open((dir / "f").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char *buf = nullptr;
    int64_t size = -1;
    ASSERT_EQ(xk_util_read_file(fd, &buf, &size, nullptr), XK_OK);
    EXPECT_EQ(size, 5);
    EXPECT_STREQ(buf, "hello");
    free(buf);
    // The descriptor is now at the end: the whole read comes up short and fails.
    buf = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(xk_util_read_file(fd, &buf, &size, nullptr), XK_ERR_SYSTEM);
    EXPECT_EQ(buf, nullptr);
    EXPECT_EQ(size, 5);
    expect_single_trace("xk_util_read_file", XK_ERR_SYSTEM);
    close(fd);

    fd = open((dir / "empty").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(xk_util_read_file(fd, &buf, &size, nullptr), XK_OK);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(buf[0], '\0');
    free(buf);
    close(fd);

    capture.clear();
    int err = 0;
    size = -1;
    EXPECT_EQ(xk_util_read_file(fd, &buf, &size, &err), XK_ERR_SYSTEM);
    EXPECT_EQ(err, EBADF);
    EXPECT_EQ(size, -1);
    EXPECT_EQ(xk_util_read_file(fd, nullptr, &size, nullptr), XK_ERR_NULL_ARG);
}

uint64_t lines_of(const std::string &path, off_t start, off_t *after) {
    int fd = open(path.c_str(), O_RDONLY);
    lseek(fd, start, SEEK_SET);
    uint64_t count = 99;
    EXPECT_EQ(xk_util_count_lines(fd, &count, nullptr), XK_OK);
    *after = lseek(fd, 0, SEEK_CUR);
    close(fd);
    return count;
}

TEST_F(PosixFileTest, CountLinesCountsNewlinesAndRestoresOffset) {
    TempDir dir;
    off_t after = 0;
    write_text(dir / "f", "a\nb");
    EXPECT_EQ(lines_of(dir / "f", 2, &after), 1u);
    EXPECT_EQ(after, 2);
    write_text(dir / "f", "a\nb\n");
    EXPECT_EQ(lines_of(dir / "f", 3, &after), 2u);
    EXPECT_EQ(after, 3);
    write_text(dir / "f", "");
    EXPECT_EQ(lines_of(dir / "f", 0, &after), 0u);
    // Newlines on both sides of the 1024-byte piece boundaries.
    std::string big(3000, 'x');
    for (size_t at : {0, 1022, 1023, 1024, 2047, 2048, 2999}) big[at] = '\n';
    write_text(dir / "f", big);
    EXPECT_EQ(lines_of(dir / "f", 1500, &after), 7u);
    EXPECT_EQ(after, 1500);
    EXPECT_TRUE(traces().empty());
}

TEST_F(PosixFileTest, CountLinesFailures) {
    uint64_t count = 5;
    EXPECT_EQ(xk_util_count_lines(0, nullptr, nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_count_lines", XK_ERR_NULL_ARG);
    capture.clear();
    EXPECT_EQ(xk_util_count_lines(-1, &count, nullptr), XK_ERR_INVALID);
    expect_single_trace("xk_util_count_lines", XK_ERR_INVALID);
    capture.clear();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int err = 0;
    EXPECT_EQ(xk_util_count_lines(fds[0], &count, &err), XK_ERR_SYSTEM);
    EXPECT_EQ(err, ESPIPE);
    EXPECT_EQ(count, 5u);
    expect_single_trace("xk_util_count_lines", XK_ERR_SYSTEM);
    close(fds[0]);
    close(fds[1]);
}

// sysfs attributes report a size of 4096 but hold far less, so reads end early as they would
// for a file shortened during the count. The call ends and succeeds with the lines it saw.
TEST_F(PosixFileTest, CountLinesEndsWhenFileIsShorterThanItsSize) {
    const char *path = "/sys/devices/system/cpu/online";
    int64_t size = 0;
    std::string content = read_text(path);
    if (xk_util_get_file_size(path, &size) != XK_OK || size <= static_cast<int64_t>(content.size()))
        GTEST_SKIP() << "no sysfs attribute larger than its content";
    int fd = open(path, O_RDONLY);
    ASSERT_GE(fd, 0);
    uint64_t count = 0;
    EXPECT_EQ(xk_util_count_lines(fd, &count, nullptr), XK_OK);
    EXPECT_EQ(count, static_cast<uint64_t>(std::count(content.begin(), content.end(), '\n')));
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0);
    close(fd);
}

TEST_F(PosixFileTest, PathOperations) {
    TempDir dir;
    write_text(dir / "f", "12345");
    int64_t size = 0;
    EXPECT_EQ(xk_util_get_file_size((dir / "f").c_str(), &size), XK_OK);
    EXPECT_EQ(size, 5);
    EXPECT_EQ(xk_util_truncate_file((dir / "f").c_str(), 2, nullptr), XK_OK);
    EXPECT_EQ(read_text(dir / "f"), "12");
    int exists = -1;
    EXPECT_EQ(xk_util_query_file_exists((dir / "f").c_str(), &exists), XK_OK);
    EXPECT_EQ(exists, 1);
    EXPECT_EQ(xk_util_delete_file((dir / "f").c_str(), nullptr), XK_OK);
    EXPECT_EQ(xk_util_query_file_exists((dir / "f").c_str(), &exists), XK_OK);
    EXPECT_EQ(exists, 0);
    ASSERT_EQ(symlink((dir / "gone").c_str(), (dir / "dangling").c_str()), 0);
    exists = -1;
    EXPECT_EQ(xk_util_query_file_exists((dir / "dangling").c_str(), &exists), XK_OK);
    EXPECT_EQ(exists, 0);
    EXPECT_TRUE(traces().empty());
}

TEST_F(PosixFileTest, PathOperationFailures) {
    TempDir dir;
    write_text(dir / "plain", "x");
    int err = 0;
    int64_t size = 77;
    EXPECT_EQ(xk_util_get_file_size((dir / "missing").c_str(), &size), XK_ERR_SYSTEM);
    EXPECT_EQ(size, 77);
    expect_single_trace("xk_util_get_file_size", XK_ERR_SYSTEM);
    capture.clear();
    EXPECT_EQ(xk_util_truncate_file((dir / "missing").c_str(), 0, &err), XK_ERR_SYSTEM);
    EXPECT_EQ(err, ENOENT);
    expect_single_trace("xk_util_truncate_file", XK_ERR_SYSTEM);
    capture.clear();
    err = 0;
    EXPECT_EQ(xk_util_delete_file((dir / "missing").c_str(), &err), XK_ERR_SYSTEM);
    EXPECT_EQ(err, ENOENT);
    expect_single_trace("xk_util_delete_file", XK_ERR_SYSTEM);
    capture.clear();
    int exists = 42;
    EXPECT_EQ(xk_util_query_file_exists((dir / "plain/child").c_str(), &exists), XK_ERR_SYSTEM);
    EXPECT_EQ(exists, 42);
    expect_single_trace("xk_util_query_file_exists", XK_ERR_SYSTEM);
    EXPECT_TRUE(lines().empty());
    capture.clear();
    EXPECT_EQ(xk_util_query_file_exists(nullptr, &exists), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_get_file_size("x", nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_delete_file(nullptr, nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_truncate_file(nullptr, 0, nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(traces().size(), 4u);
}

// stat succeeds on a file its owner may not read, but the size query opens it and fails.
TEST_F(PosixFileTest, FileSizeOfUnreadableFileFails) {
    XK_EXPECT_CHILD_PASSES(xk::test::run_unprivileged([] {
        xk::test::ChildChecks check;
        TempDir dir;
        std::string path = dir / "secret";
        write_text(path, "data");
        chmod(path.c_str(), 0200);
        struct stat st;
        check.equal(stat(path.c_str(), &st), 0, "stat");
        int64_t size = -1;
        check.equal(xk_util_get_file_size(path.c_str(), &size), XK_ERR_SYSTEM, "status");
        check.equal(size, -1, "size");
        return check.verdict();
    }));
}

}  // namespace
