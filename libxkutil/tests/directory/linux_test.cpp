// SPDX-License-Identifier: MIT
#include "support/capture.h"

using namespace xk::test;
using DirectoryTest = ReportingTest;

// A scan sorts ignoring case, skips only the dot entries, and stays at its end.
TEST_F(DirectoryTest, ScansAndMakesPrivateAndReadOnlyDirectories) {
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

TEST_F(DirectoryTest, PathsDirectoryPartIsAFreshCopyAndTheRootForRootLevelNames) {
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
