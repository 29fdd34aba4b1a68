// SPDX-License-Identifier: MIT
#include <algorithm>

#include "support/capture.h"

using namespace xk::test;

using FileTest = ReportingTest;

// Appends, replaces, and writes nothing to an empty file; bytes go through as they are. A sysfs
// attribute reports 4096 bytes and holds fewer: the read ends at the real end.
TEST_F(FileTest, FopenReadWriteAndCopy) {
    TempDir dir;
    const std::string f = dir / "f", copy = dir / "copy", sys = "/sys/devices/system/cpu/online";
    FILE *stream = nullptr;
    char *buf = nullptr, *attribute = nullptr;
    size_t size = 9, attribute_size = 0;
    int err = -1;
    mode_t old_mask = umask(027);
    expect_all(
        {xk_util_write_named_file(f.c_str(), 0, "one", 3, nullptr),
         xk_util_write_named_file(f.c_str(), 0, "two", 3, nullptr),
         xk_util_write_named_file(f.c_str(), 1, "", 0, nullptr),
         xk_util_write_named_file(f.c_str(), 1, "a\0b\nc", 5, nullptr),
         xk_util_read_named_file(f.c_str(), &buf, &size, nullptr), xk_util_copy_file(f.c_str(), copy.c_str()),
         xk_util_fopen(&stream, &err, "rb", "%s/%c", dir.path().c_str(), 'f'),
         xk_util_read_named_file(sys.c_str(), &attribute, &attribute_size, nullptr)},
        XK_OK);
    umask(old_mask);
    struct stat sb;
    stat(copy.c_str(), &sb);
    EXPECT_EQ(std::tuple(std::string(buf, size + 1), std::string(attribute, attribute_size + 1),
                         fgetc(stream), err, read_text(copy), sb.st_mode & 0777),
              std::tuple(std::string("a\0b\nc\0", 6), read_text(sys) + '\0', 'a', 0, read_text(f), 0640u));
    free(buf), free(attribute), fclose(stream);
    expect_report(xk_util_copy_file((dir / "none").c_str(), copy.c_str()), XK_ERR_SYSTEM, {}, 2);
    expect_all({xk_util_fopen(&stream, nullptr, nullptr, "x"),
                xk_util_read_named_file("x", nullptr, &size, nullptr),
                xk_util_write_named_file(nullptr, 1, "x", 1, nullptr),
                xk_util_write_named_file("x", 1, nullptr, 0, nullptr), xk_util_copy_file(nullptr, "x")});
}

// The mode is passed through (0640 stays 0640); at the end a whole read gives up after five empty
// reads rather than return a short count.
TEST_F(FileTest, OpenPassesTheModeAndAWholeReadAtTheEndStalls) {
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

TEST_F(FileTest, EdgesAndRefusals) {
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
TEST_F(FileTest, SyncsTheFileThenItsDirectoryForPathsBelow1000Bytes) {
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

// A scan sorts ignoring case, skips only the dot entries, and stays at its end.
TEST_F(FileTest, ScansAndMakesPrivateAndReadOnlyDirectories) {
    TempDir dir;
    for (const char *name : {"b", "A", "c", ".hidden"}) write_text(dir / name, "");
    mkdir((dir / "Bdir").c_str(), 0700);
    xk_util_dirscan_cursor *cursor = xk_util_dirscan_begin(dir.path().c_str());
    std::string names = xk_dirscan_file_name(cursor) ? "?" : "";  // nothing before the first step
    for (char *name; xk_util_dirscan(cursor) == XK_OK; free(name))
        names += (name = xk_dirscan_file_name(cursor)) + std::string(" ");
    expect_report(xk_util_dirscan(cursor), XK_ERR_NO_MORE, {}, 2);
    EXPECT_EQ(std::tuple(names, cursor->index, cursor->count, xk_dirscan_file_name(cursor)),
              std::tuple(".hidden A b Bdir c ", 7, 7, nullptr));
    xk_util_dirscan_end(cursor);
    xk_util_dirscan_end(xk_util_dirscan_begin(dir.path().c_str())),
        xk_util_dirscan_end(nullptr);  // never stepped
    EXPECT_EQ(std::tuple(xk_dirscan_file_name(nullptr), xk_util_dirscan_begin(nullptr)),
              std::tuple(nullptr, nullptr));
    expect_all({xk_util_dirscan(nullptr), xk_util_mkdir(nullptr), xk_util_mkdir_read_only(nullptr)});
    expect_report(xk_util_query_dir_exists(nullptr, nullptr), XK_ERR_NULL_ARG, {}, 0);  // not traced
    const std::string rw = dir / "rw", ro = dir / "ro";
    struct stat a, b;
    mode_t old_mask = umask(0);
    expect_all({xk_util_mkdir(rw.c_str()), xk_util_mkdir_read_only(ro.c_str())}, XK_OK);
    umask(old_mask);
    EXPECT_EQ((std::tuple{stat(rw.c_str(), &a), a.st_mode & 0777, stat(ro.c_str(), &b), b.st_mode & 0777}),
              std::tuple(0, 0700u, 0, 0500u));
}

TEST_F(FileTest, PathsDirectoryPartIsAFreshCopyAndTheRootForRootLevelNames) {
    const char *cases[][2] = {{"/a/b/c", "/a/b"}, {"a/b", "a"},     {"/a/b/", "/a/b"},
                              {"a//b", "a/"},     {"name", "name"}, {"", ""},
                              {"/", "/"},         {"/n", "/"},      {"//n", "/"}};
    for (const auto &[path, want] : cases) {
        char *dir = nullptr;
        expect_report(xk_util_get_directory_component(path, &dir), XK_OK);
        EXPECT_EQ(std::tuple(std::string(dir), dir == path), std::tuple(want, false));
        free(dir);
    }
}
