// SPDX-License-Identifier: MIT
#include <algorithm>

#include "support/capture.h"

using namespace xk::test;
using PosixFileTest = ReportingTest;

// The mode is passed through (0640 stays 0640); at the end a whole read gives up after five empty
// reads rather than return a short count.
TEST_F(PosixFileTest, OpenPassesTheModeAndAWholeReadAtTheEndStalls) {
    TempDir dir;
    int fd = -5, err = -1;
    char buf[8];
    mode_t old_mask = umask(022);
    expect_all({xk_util_open(&fd, &err, O_RDWR | O_CREAT, 0640, "%s/%s", dir.path().c_str(), "f")}, XK_OK);
    umask(old_mask);
    struct stat sb;
    EXPECT_EQ((std::tuple{fstat(fd, &sb), sb.st_mode & 0777, err, xk_util_whole_read(fd, buf, 8), close(fd)}),
              std::tuple(0, 0640u, 0, -11, 0));
}

TEST_F(PosixFileTest, EdgesAndRefusals) {
    TempDir dir;
    std::string seams(3000, 'x'), sys = "/sys/devices/system/cpu/online";
    for (size_t at : {0, 1022, 1023, 1024, 2047, 2048, 2999})
        seams[at] = '\n';  // around the 1024-byte pieces
    // A sysfs attribute reports 4096 bytes and holds fewer, as a file shortened during the count.
    for (const std::string &text : {seams, std::string(), read_text(sys)}) {
        write_text(dir / "f", text);
        int fd = open(text.size() < 100 && !text.empty() ? sys.c_str() : (dir / "f").c_str(), O_RDONLY);
        uint64_t count = 99;
        expect_report(xk_util_count_lines(fd, &count, nullptr), XK_OK);
        EXPECT_EQ(count, std::count(text.begin(), text.end(), '\n'));
        close(fd);
    }
    char *buf = nullptr;
    int64_t size = 0;
    uint64_t count = 0;
    int exists = -1;
    symlink((dir / "gone").c_str(), (dir / "link").c_str());  // a dangling link is no file
    expect_all({xk_util_whole_write(-1, &buf, 0, nullptr),
                xk_util_query_file_exists((dir / "link").c_str(), &exists)},
               XK_OK);  // no system call for nothing
    EXPECT_EQ(std::tuple(exists, xk_util_whole_read(-1, &buf, 0), xk_util_whole_read(0, nullptr, 4),
                         xk_util_whole_read(0, &buf, -1), xk_util_whole_read(-1, &buf, 1)),
              std::tuple(0, 0, -22, -22, -1));  // none of them traced
    EXPECT_EQ(errno, EBADF);
    expect_report(xk_util_whole_write(1, &buf, -1, nullptr), XK_ERR_OVERFLOW);
    expect_report(xk_util_whole_write(-1, &buf, 1, nullptr), XK_ERR_SYSTEM);
    expect_report(xk_util_count_lines(-1, &count, nullptr), XK_ERR_INVALID);
    expect_all({xk_util_whole_write(1, nullptr, 0, nullptr), xk_util_open(nullptr, nullptr, O_RDONLY, 0, "x"),
                xk_util_read_file(0, nullptr, &size, nullptr), xk_util_count_lines(0, nullptr, nullptr),
                xk_util_query_file_exists(nullptr, &exists), xk_util_get_file_size("x", nullptr),
                xk_util_delete_file(nullptr, nullptr), xk_util_truncate_file(nullptr, 0, nullptr)});
}

// A bare name is its own directory part; 999 bytes are looked for, 1000 refused untouched.
TEST_F(PosixFileTest, SyncsTheFileThenItsDirectoryForPathsBelow1000Bytes) {
    TempDir dir;
    FILE *stream = fopen((dir / "f").c_str(), "w");
    std::string cwd = std::filesystem::current_path(), path = dir.path() + "/";
    path += std::string(999 - path.size(), 'n');
    chdir(dir.path().c_str());
    expect_all({xk_util_sync(stream, nullptr), xk_util_sync_file("f"), uint32_t(fclose(stream))}, XK_OK);
    chdir(cwd.c_str());
    expect_report(xk_util_sync_file(path.c_str()), XK_ERR_SYSTEM,
                  {with_reason("Failed to open file " + path, ENAMETOOLONG)});
    expect_all({xk_util_sync_file((path + "n").c_str())}, XK_ERR_INVALID);
    expect_all({xk_util_sync_file(nullptr), xk_util_sync(nullptr, nullptr)});
}
