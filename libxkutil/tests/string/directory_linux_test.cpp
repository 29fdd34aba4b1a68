#include "support/capture.h"

using namespace xk::test;
using PathTest = ReportingTest;

TEST_F(PathTest, DirectoryPartAndAbsolutePath) {
    const char *cases[][2] = {{"/a/b/c", "/a/b"}, {"a/b", "a"},     {"/a/b/", "/a/b"},
                              {"a//b", "a/"},     {"name", "name"}, {"", ""},
                              {"/", "/"},         {"/n", "/"},      {"//n", "/"}};  // root-level: "/"
    for (const auto &[path, want] : cases) {
        char *dir = nullptr;
        expect_report(xk_util_get_directory_component(path, &dir), XK_OK);
        EXPECT_EQ(std::tuple(std::string(dir), dir == path), std::tuple(want, false));  // always a fresh copy
        free(dir);
    }
    TempDir dir;
    char *abs = nullptr, *cwd = nullptr;
    write_text(dir / "f", "");
    symlink("f", (dir / "link").c_str());
    expect_report(xk_util_abs_path((dir / "./link").c_str(), &abs), XK_OK);
    expect_report(xk_util_abs_path(".", &cwd), XK_OK);
    EXPECT_EQ(std::tuple(std::string(abs), std::string(cwd)),
              std::tuple(dir / "f", std::filesystem::current_path()));
    free(abs), free(cwd);
}
