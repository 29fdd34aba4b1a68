#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "file/file_support.h"
#include "support/capture.h"
#include "xk/file.h"

namespace {

using xk::test::TempDir;
using xk::test::write_text;
using SyncTest = xk::test::ReportingTest;

TEST_F(SyncTest, SyncFlushesTheStreamAndKeepsItOpen) {
    TempDir dir;
    FILE *stream = fopen((dir / "f").c_str(), "w");
    ASSERT_NE(stream, nullptr);
    fputs("buffered", stream);
    EXPECT_EQ(xk_util_sync(stream, nullptr), XK_OK);
    EXPECT_EQ(xk::test::read_text(dir / "f"), "buffered");
    fputs("+more", stream);
    EXPECT_EQ(xk_util_sync(stream, dir.path().c_str()), XK_OK);
    EXPECT_EQ(xk::test::read_text(dir / "f"), "buffered+more");
    // The root directory can be synced too: it is the directory part of root-level paths.
    EXPECT_EQ(xk_util_sync(stream, "/"), XK_OK);
    EXPECT_EQ(fclose(stream), 0);
    EXPECT_TRUE(traces().empty());
}

TEST_F(SyncTest, SyncFailures) {
    TempDir dir;
    EXPECT_EQ(xk_util_sync(nullptr, nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_sync", XK_ERR_NULL_ARG);
    capture.clear();
    FILE *stream = fopen((dir / "f").c_str(), "w");
    ASSERT_NE(stream, nullptr);
    fputs("data", stream);
    // The stream is flushed and synced before the missing directory fails.
    EXPECT_EQ(xk_util_sync(stream, (dir / "missing").c_str()), XK_ERR_SYSTEM);
    EXPECT_EQ(xk::test::read_text(dir / "f"), "data");
    expect_single_trace("xk_util_sync", XK_ERR_SYSTEM);
    EXPECT_TRUE(lines().empty());
    fclose(stream);
}

TEST_F(SyncTest, SyncFileSyncsExistingFiles) {
    TempDir dir;
    write_text(dir / "f", "x");
    EXPECT_EQ(xk_util_sync_file((dir / "f").c_str()), XK_OK);
    // A bare name is its own directory part: the file is opened twice and synced.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    xk_util_status bare = xk_util_sync_file("f");
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(bare, XK_OK);
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(SyncTest, SyncFileLengthLimit) {
    TempDir dir;
    // 999 bytes: accepted and looked for (it does not exist, so the open fails).
    std::string path = dir.path() + "/";
    path += std::string(999 - path.size(), 'n');
    ASSERT_EQ(path.size(), 999u);
    EXPECT_EQ(xk_util_sync_file(path.c_str()), XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text.rfind("Failed to open file " + path + "  Reason: ", 0), 0u);
    capture.clear();
    path += "n";
    EXPECT_EQ(xk_util_sync_file(path.c_str()), XK_ERR_INVALID);
    expect_single_trace("xk_util_sync_file", XK_ERR_INVALID);
    EXPECT_TRUE(lines().empty());
    capture.clear();
    EXPECT_EQ(xk_util_sync_file(nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_sync_file", XK_ERR_NULL_ARG);
}

TEST_F(SyncTest, SyncFileOnAMissingFileLogsWithReason) {
    TempDir dir;
    std::string path = dir / "missing";
    EXPECT_EQ(xk_util_sync_file(path.c_str()), XK_ERR_SYSTEM);
    expect_single_trace("xk_util_sync_file", XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].level, 3);
    EXPECT_EQ(lines()[0].file, "src/file/posix_fsync");
    EXPECT_EQ(lines()[0].line, traces()[0].line);
    EXPECT_EQ(lines()[0].text, "Failed to open file " + path + "  Reason: " + strerror(ENOENT));
}

// A directory its owner may search and write but not read: the file opens, the directory not.
TEST_F(SyncTest, SyncFileDirectoryOpenFailure) {
    XK_EXPECT_CHILD_PASSES(xk::test::run_unprivileged([this] {
        xk::test::ChildChecks check;
        TempDir dir;
        std::string sub = dir / "sub";
        mkdir(sub.c_str(), 0700);
        write_text(sub + "/f", "x");
        chmod(sub.c_str(), 0300);
        capture.clear();
        check.equal(xk_util_sync_file((sub + "/f").c_str()), XK_ERR_SYSTEM, "status");
        check.equal(lines().size(), 1u, "log lines");
        if (!lines().empty())
            check.equal(lines()[0].text, "Failed to open directory " + sub + "  Reason: " + strerror(EACCES),
                        "log");
        chmod(sub.c_str(), 0700);
        return check.verdict();
    }));
}

TEST_F(SyncTest, SyncFileWithoutWritePermissionFailsAtOpen) {
    XK_EXPECT_CHILD_PASSES(xk::test::run_unprivileged([this] {
        xk::test::ChildChecks check;
        TempDir dir;
        std::string path = dir / "ro";
        write_text(path, "x");
        chmod(path.c_str(), 0400);
        capture.clear();
        check.equal(xk_util_sync_file(path.c_str()), XK_ERR_SYSTEM, "status");
        check.equal(lines().size(), 1u, "log lines");
        if (!lines().empty())
            check.equal(lines()[0].text, "Failed to open file " + path + "  Reason: " + strerror(EACCES),
                        "log");
        return check.verdict();
    }));
}

// With "/" as the directory part of a root-level name, its sync succeeds.
TEST_F(SyncTest, SyncFileInTheRootDirectory) {
    char path[] = "/xkutil-sync-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) GTEST_SKIP() << "the root directory is not writable here";
    close(fd);
    xk_util_status st = xk_util_sync_file(path);
    unlink(path);
    EXPECT_EQ(st, XK_OK);
    EXPECT_TRUE(lines().empty());
}

}  // namespace
