#include "support/capture.h"

using PathTest = xk::test::ReportingTest;

TEST_F(PathTest, DirectoryPartIsAFreshCopyAndTheRootForRootLevelNames) {
    const char *cases[][2] = {{"/a/b/c", "/a/b"}, {"a/b", "a"},     {"/a/b/", "/a/b"},
                              {"a//b", "a/"},     {"name", "name"}, {"", ""},
                              {"/", "/"},         {"/n", "/"},      {"//n", "/"}};
    for (const auto &[path, want] : cases) {
        char *dir = nullptr;
        expect_report(xk_util_get_directory_component(path, &dir), XK_OK);
        EXPECT_EQ(std::tuple(std::string(dir), dir == path), std::tuple(want, false));
        free(dir);
    }
    char *abs = nullptr;
    expect_all({xk_util_abs_path(".", &abs)}, XK_OK);
    EXPECT_EQ(std::string(abs), std::filesystem::current_path());
    free(abs);
}
