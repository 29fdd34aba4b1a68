#include "file/file_support.h"

using namespace xk::test;
using SyncTest = ReportingTest;

TEST_F(SyncTest, SyncsTheFileThenItsDirectory) {
    TempDir dir;
    FILE *stream = fopen((dir / "f").c_str(), "w");
    fputs("data", stream);  // flushed before the missing directory fails; the stream stays open
    expect_report(xk_util_sync(stream, (dir / "none").c_str()), XK_ERR_SYSTEM);
    expect_report(xk_util_sync(stream, nullptr), XK_OK);
    expect_report(xk_util_sync(stream, "/"), XK_OK);
    EXPECT_EQ(std::tuple(read_text(dir / "f"), fclose(stream)), std::tuple("data", 0));
    std::string cwd = std::filesystem::current_path(), path = dir.path() + "/";
    chdir(dir.path().c_str());
    expect_report(xk_util_sync_file("f"), XK_OK);  // a bare name is its own directory part
    chdir(cwd.c_str());
    path += std::string(999 - path.size(), 'n');  // 999 bytes are looked for, 1000 refused untouched
    expect_report(xk_util_sync_file(path.c_str()), XK_ERR_SYSTEM,
                  {with_reason("Failed to open file " + path, ENAMETOOLONG)});
    expect_report(xk_util_sync_file((path + "n").c_str()), XK_ERR_INVALID);
    expect_report(xk_util_sync_file(nullptr), XK_ERR_NULL_ARG);
    expect_report(xk_util_sync(nullptr, nullptr), XK_ERR_NULL_ARG);
    char root[] = "/xkutil-sync-XXXXXX";  // with "/" as its directory part, a root-level name syncs
    if (int fd = mkstemp(root); fd >= 0)
        close(fd), expect_report(xk_util_sync_file(root), XK_OK), unlink(root);
    run_unprivileged([this] {  // the directory must be readable, the file writable
        TempDir mine;
        const std::string d = mine / "d", f = mine / "d/f";
        mkdir(d.c_str(), 0300);
        close(open(f.c_str(), O_CREAT | O_RDONLY, 0400));
        expect_report(xk_util_sync_file(f.c_str()), XK_ERR_SYSTEM,
                      {with_reason("Failed to open file " + f, EACCES)});
        chmod(f.c_str(), 0600);
        expect_report(xk_util_sync_file(f.c_str()), XK_ERR_SYSTEM,
                      {with_reason("Failed to open directory " + d, EACCES)});
    });
}
