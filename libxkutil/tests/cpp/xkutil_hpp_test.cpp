#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "xk/xkutil.hpp"

namespace {

struct TempDir {
    std::string path;
    TempDir() {
        char tmpl[] = "/tmp/xk-hpp-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
};

TEST(CppLayer, StatusNamesCoverTheCatalogue) {
    EXPECT_EQ(xk::status_name(XK_OK), "XK_OK");
    EXPECT_EQ(xk::status_name(XK_ERR_NOMEM), "XK_ERR_NOMEM");
    EXPECT_EQ(xk::status_name(XK_ERR_ALREADY_RUNNING), "XK_ERR_ALREADY_RUNNING");
    EXPECT_EQ(xk::status_name(XK_ERR_NO_MORE), "XK_ERR_NO_MORE");
    EXPECT_EQ(xk::status_name(1), "XK_ERR_UNKNOWN");
    static_assert(xk::status_name(XK_ERR_TIMEOUT) == "XK_ERR_TIMEOUT");
}

TEST(CppLayer, DirectoryScanIsARangeInNameOrder) {
    TempDir dir;
    for (const char *name : {"beta", "Alpha", "gamma"})
        ASSERT_EQ(xk::write_named_file(dir.path + "/" + name, "x"), XK_OK);
    std::vector<std::string> names;
    xk::DirScan scan(dir.path);
    ASSERT_TRUE(scan.valid());
    for (const std::string &name : scan) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));

    xk::DirScan missing(dir.path + "/none");
    EXPECT_FALSE(missing.valid());
    EXPECT_EQ(missing.begin(), missing.end());
}

TEST(CppLayer, FilesAndEncodingsComeBackAsStrings) {
    TempDir dir;
    std::string path = dir.path + "/notes";
    ASSERT_EQ(xk::write_named_file(path, "one\n"), XK_OK);
    ASSERT_EQ(xk::write_named_file(path, "two\n", false), XK_OK);
    auto read = xk::read_named_file(path);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value, "one\ntwo\n");
    EXPECT_EQ(xk::read_named_file(dir.path + "/none").status, XK_ERR_SYSTEM);
    EXPECT_EQ(xk::directory_component(path).value, dir.path);

    const uint8_t bytes[] = {'f', 'o', 'o', 'b'};
    auto text = xk::base64_encode(bytes);
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(text.value, "Zm9vYg==");
    EXPECT_EQ(xk::base64_decode("Zm9v\nYg==").value, "foob");
    EXPECT_TRUE(xk::hash64("abc").ok());
    EXPECT_EQ(xk::hash64("").status, XK_ERR_INVALID);
}

TEST(CppLayer, OwningHandlesReleaseWhatTheyHold) {
    static int freed = 0;
    freed = 0;
    {
        auto words = xk::make_collection(
            "words", [] { return calloc(8, 1); }, [](const void *w) -> void * { return strdup(static_cast<const char *>(w)); },
            [](void *w) {
                ++freed;
                free(w);
            });
        ASSERT_TRUE(words);
        ASSERT_TRUE(xk_collection_element_add(words.get(), "a"));
        ASSERT_TRUE(xk_collection_element_add(words.get(), "b"));
    }
    EXPECT_EQ(freed, 2);

    xk::Sum sum(2);
    ASSERT_EQ(sum.status(), XK_OK);
    sum.add(3);
    sum.next();
    sum.add(4);
    EXPECT_EQ(sum.window(), 7);
    EXPECT_EQ(xk::Sum(0).status(), XK_ERR_INVALID);
}

}  // namespace
