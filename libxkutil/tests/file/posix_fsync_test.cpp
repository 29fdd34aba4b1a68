#include "support/capture.h"

using namespace xk::test;
using SyncTest = ReportingTest;

TEST_F(SyncTest, SyncsTheFileThenItsDirectory) {
    TempDir dir;
    FILE *stream = fopen((dir / "f").c_str(), "w");
    fputs("data", stream);  // flushed before the missing directory fails; the stream stays open
    expect_report(xk_util_sync(stream, (dir / "none").c_str()), XK_ERR_SYSTEM);
    expect_report(xk_util_sync(stream, nullptr), XK_OK);
    EXPECT_EQ(std::tuple(read_text(dir / "f"), fclose(stream)), std::tuple("data", 0));
    std::string cwd = std::filesystem::current_path(), path = dir.path() + "/";
    chdir(dir.path().c_str());
    expect_report(xk_util_sync_file("f"), XK_OK);  // a bare name is its own directory part
    chdir(cwd.c_str());
    path += std::string(999 - path.size(), 'n');  // 999 bytes are looked for, 1000 refused untouched
    expect_report(xk_util_sync_file(path.c_str()), XK_ERR_SYSTEM,
                  {with_reason("Failed to open file " + path, ENAMETOOLONG)});
    expect_report(xk_util_sync_file((path + "n").c_str()), XK_ERR_INVALID);
    expect_all({xk_util_sync_file(nullptr), xk_util_sync(nullptr, nullptr)});
    char root[] = "/xkutil-sync-XXXXXX";  // with "/" as its directory part, a root-level name syncs
    if (int fd = mkstemp(root); fd >= 0)
        close(fd), expect_report(xk_util_sync_file(root), XK_OK), unlink(root);
}
