#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "file/file_support.h"
#include "support/capture.h"
#include "xk/directory.h"

namespace {

using xk::test::TempDir;
using xk::test::write_text;
using DirectoryTest = xk::test::ReportingTest;

// Every name a scan hands out, in order; the trace is cleared of the final XK_ERR_NO_MORE.
std::vector<std::string> scan_names(const std::string &path) {
    std::vector<std::string> names;
    xk_util_dirscan_cursor *cursor = xk_util_dirscan_begin(path.c_str());
    EXPECT_NE(cursor, nullptr);
    if (cursor == nullptr) return names;
    while (xk_util_dirscan(cursor) == XK_OK) {
        char *name = xk_dirscan_file_name(cursor);
        names.push_back(name != nullptr ? name : "<null>");
        free(name);
    }
    xk_util_dirscan_end(cursor);
    return names;
}

TEST_F(DirectoryTest, ScanSortsIgnoringCaseAndSkipsDotEntries) {
    TempDir dir;
    for (const char *name : {"b", "A", "c", ".hidden"}) write_text(dir / name, "");
    ASSERT_EQ(mkdir((dir / "Bdir").c_str(), 0700), 0);
    EXPECT_EQ(scan_names(dir.path()), (std::vector<std::string>{".hidden", "A", "b", "Bdir", "c"}));
    auto records = traces();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].func, "xk_util_dirscan");
    EXPECT_EQ(records[0].status, XK_ERR_NO_MORE);
    EXPECT_TRUE(lines().empty());
}

TEST_F(DirectoryTest, CursorStatesAtTheEdges) {
    TempDir dir;
    write_text(dir / "only", "");
    xk_util_dirscan_cursor *cursor = xk_util_dirscan_begin(dir.path().c_str());
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor->count, 3);  // ".", ".." and the file
    EXPECT_EQ(cursor->index, -1);
    EXPECT_EQ(xk_dirscan_file_name(cursor), nullptr);  // before the first step
    ASSERT_EQ(xk_util_dirscan(cursor), XK_OK);
    char *name = xk_dirscan_file_name(cursor);
    EXPECT_STREQ(name, "only");
    free(name);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(xk_util_dirscan(cursor), XK_ERR_NO_MORE);
        EXPECT_EQ(cursor->index, cursor->count);
        EXPECT_EQ(xk_dirscan_file_name(cursor), nullptr);  // after the end
    }
    EXPECT_EQ(traces().size(), 3u);
    xk_util_dirscan_end(cursor);

    TempDir empty;
    cursor = xk_util_dirscan_begin(empty.path().c_str());
    ASSERT_NE(cursor, nullptr);
    capture.clear();
    EXPECT_EQ(xk_util_dirscan(cursor), XK_ERR_NO_MORE);
    expect_single_trace("xk_util_dirscan", XK_ERR_NO_MORE);
    xk_util_dirscan_end(cursor);
    // Ending a cursor that was never stepped, or a NULL one.
    xk_util_dirscan_end(xk_util_dirscan_begin(empty.path().c_str()));
    xk_util_dirscan_end(nullptr);
    capture.clear();
    EXPECT_EQ(xk_util_dirscan(nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_dirscan", XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_dirscan_file_name(nullptr), nullptr);
}

TEST_F(DirectoryTest, ScanBeginFailuresLogTheReason) {
    TempDir dir;
    write_text(dir / "file", "");
    EXPECT_EQ(xk_util_dirscan_begin(nullptr), nullptr);
    EXPECT_TRUE(lines().empty());
    for (const auto &[name, err] : {std::pair<std::string, int>{"file", ENOTDIR}, {"missing", ENOENT}}) {
        capture.clear();
        std::string path = dir / name;
        EXPECT_EQ(xk_util_dirscan_begin(path.c_str()), nullptr);
        ASSERT_EQ(lines().size(), 1u);
        EXPECT_EQ(lines()[0].level, 3);
        EXPECT_EQ(lines()[0].file, "src/directory/linux");
        EXPECT_EQ(lines()[0].text, "Failed to scan directory " + path + "  Reason: " + strerror(err));
        EXPECT_TRUE(traces().empty());
    }
}

TEST_F(DirectoryTest, QueryDirExists) {
    TempDir dir;
    write_text(dir / "file", "");
    int exists = -1;
    EXPECT_EQ(xk_util_query_dir_exists(dir.path().c_str(), &exists), XK_OK);
    EXPECT_EQ(exists, 1);
    exists = -1;
    EXPECT_EQ(xk_util_query_dir_exists((dir / "missing").c_str(), &exists), XK_OK);
    EXPECT_EQ(exists, 0);
    EXPECT_TRUE(lines().empty());
    exists = -1;
    EXPECT_EQ(xk_util_query_dir_exists((dir / "file").c_str(), &exists), XK_OK);
    EXPECT_EQ(exists, 0);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text,
              "Error checking directory " + (dir / "file") + " existence  Reason: " + strerror(ENOTDIR));
    EXPECT_TRUE(traces().empty());
    EXPECT_EQ(xk_util_query_dir_exists(nullptr, &exists), XK_ERR_NULL_ARG);
    EXPECT_TRUE(traces().empty());
}

TEST_F(DirectoryTest, MkdirModesAndFailures) {
    TempDir dir;
    mode_t old_mask = umask(0);
    EXPECT_EQ(xk_util_mkdir((dir / "private").c_str()), XK_OK);
    EXPECT_EQ(xk_util_mkdir_read_only((dir / "readonly").c_str()), XK_OK);
    umask(old_mask);
    struct stat st;
    ASSERT_EQ(stat((dir / "private").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((dir / "readonly").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0500u);
    EXPECT_TRUE(traces().empty());

    EXPECT_EQ(xk_util_mkdir((dir / "private").c_str()), XK_ERR_SYSTEM);
    expect_single_trace("xk_util_mkdir", XK_ERR_SYSTEM);
    EXPECT_TRUE(lines().empty());
    capture.clear();
    EXPECT_EQ(xk_util_mkdir((dir / "a/b").c_str()), XK_ERR_SYSTEM);  // parents are not made
    capture.clear();
    EXPECT_EQ(xk_util_mkdir_read_only((dir / "private").c_str()), XK_ERR_SYSTEM);
    expect_single_trace("xk_util_mkdir_read_only", XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text,
              "Failed to create directory " + (dir / "private") + "  Reason: " + strerror(EEXIST));
    EXPECT_EQ(lines()[0].line, traces()[0].line);
    capture.clear();
    EXPECT_EQ(xk_util_mkdir(nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_mkdir_read_only(nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(traces().size(), 2u);
    EXPECT_TRUE(lines().empty());
}

TEST_F(DirectoryTest, ReadOnlyDirectoryRefusesEntriesFromItsOwner) {
    XK_EXPECT_CHILD_PASSES(xk::test::run_unprivileged([] {
        xk::test::ChildChecks check;
        TempDir dir;
        std::string ro = dir / "ro";
        check.equal(xk_util_mkdir_read_only(ro.c_str()), XK_OK, "mkdir");
        errno = 0;
        check.equal(mkdir((ro + "/sub").c_str(), 0700), -1, "mkdir inside");
        check.equal(errno, EACCES, "errno");
        check.equal(xk_util_mkdir((ro + "/sub2").c_str()), XK_ERR_SYSTEM, "xk_util_mkdir inside");
        return check.verdict();
    }));
}

}  // namespace
