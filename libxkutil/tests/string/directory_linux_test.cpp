#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "file/file_support.h"
#include "support/capture.h"
#include "xk/path.h"

namespace {

using PathTest = xk::test::ReportingTest;

std::string dir_part(const char *path) {
    char *dir = nullptr;
    EXPECT_EQ(xk_util_get_directory_component(path, &dir), XK_OK);
    std::string out = dir != nullptr ? dir : "<null>";
    EXPECT_NE(dir, path);  // always a fresh allocation
    free(dir);
    return out;
}

TEST_F(PathTest, DirectoryPartDropsTheLastSlashAndWhatFollows) {
    EXPECT_EQ(dir_part("/a/b/c"), "/a/b");
    EXPECT_EQ(dir_part("a/b"), "a");
    EXPECT_EQ(dir_part("/a/b/"), "/a/b");
    EXPECT_EQ(dir_part("a//b"), "a/");
    EXPECT_EQ(dir_part("./x/../y"), "./x/..");
    EXPECT_EQ(dir_part("name"), "name");
    EXPECT_EQ(dir_part(""), "");
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

// A path whose only '/' is its first byte lies in the root directory, whose part is "/".
TEST_F(PathTest, RootLevelPathsHaveTheRootAsTheirDirectory) {
    EXPECT_EQ(dir_part("/"), "/");
    EXPECT_EQ(dir_part("/name"), "/");
    EXPECT_EQ(dir_part("//name"), "/");
}

TEST_F(PathTest, AbsPathResolvesExistingPaths) {
    xk::test::TempDir dir;
    xk::test::write_text(dir / "f", "");
    ASSERT_EQ(symlink("f", (dir / "link").c_str()), 0);
    char *resolved = nullptr;
    ASSERT_EQ(xk_util_abs_path((dir / "./link").c_str(), &resolved), XK_OK);
    EXPECT_STREQ(resolved, (dir / "f").c_str());
    free(resolved);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(xk_util_abs_path(".", &resolved), XK_OK);
    EXPECT_STREQ(resolved, cwd);
    free(resolved);
    EXPECT_TRUE(traces().empty());
}

TEST_F(PathTest, AbsPathOfMissingPathLogsAndTraces) {
    char *resolved = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(xk_util_abs_path("/nonexistent-xkutil/dir", &resolved), XK_ERR_SYSTEM);
    EXPECT_EQ(resolved, nullptr);
    expect_single_trace("xk_util_abs_path", XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].level, 3);
    EXPECT_EQ(lines()[0].func, "xk_util_abs_path");
    EXPECT_EQ(lines()[0].file, "src/string/directory_linux");
    EXPECT_GT(lines()[0].line, 0);
    EXPECT_EQ(lines()[0].text, std::string("Cannot determine absolute file path from relative path "
                                           "/nonexistent-xkutil/dir  Reason: ") +
                                   strerror(ENOENT));
}

}  // namespace
