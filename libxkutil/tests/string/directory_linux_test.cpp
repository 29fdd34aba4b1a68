#include "file/file_support.h"

using namespace xk::test;
using PathTest = ReportingTest;

TEST_F(PathTest, DirectoryPartAndAbsolutePath) {
    const char *cases[][2] = {{"/a/b/c", "/a/b"},
                              {"a/b", "a"},
                              {"/a/b/", "/a/b"},
                              {"a//b", "a/"},
                              {"./x/../y", "./x/.."},
                              {"name", "name"},
                              {"", ""},
                              {"/", "/"},
                              {"/n", "/"},
                              {"//n", "/"}};  // the root for root-level names
    for (const auto &[path, want] : cases) {
        char *dir = nullptr;
        expect_report(xk_util_get_directory_component(path, &dir), XK_OK);
        EXPECT_EQ(std::tuple(std::string(dir), dir == path), std::tuple(want, false));  // always a fresh copy
        free(dir);
    }
    TempDir dir;
    char *abs = nullptr;
    write_text(dir / "f", "");
    symlink("f", (dir / "link").c_str());
    expect_report(xk_util_abs_path((dir / "./link").c_str(), &abs), XK_OK);
    EXPECT_EQ(std::string(abs), dir / "f");
    free(abs);
    expect_report(xk_util_abs_path(".", &abs), XK_OK);
    EXPECT_EQ(std::string(abs), std::filesystem::current_path());
    free(abs);
    expect_report(
        xk_util_abs_path((dir / "x").c_str(), &abs), XK_ERR_SYSTEM,
        {with_reason("Cannot determine absolute file path from relative path " + (dir / "x"), ENOENT)});
    EXPECT_EQ(abs, nullptr);
}
