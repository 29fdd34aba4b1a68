// Test-only seam over the allocator and the system calls the library makes. The fault test
// binary is linked with -Wl,--wrap for each of them, so every call from the library's static
// objects passes through here. Nothing is injected until a test arms a countdown.
#ifndef XK_TESTS_FAULT_SEAM_H
#define XK_TESTS_FAULT_SEAM_H

#include <stddef.h>

namespace xk::fault {

enum class Call {
    malloc_family,  // malloc, calloc, realloc, strdup, strndup
    open,
    read,
    write,
    lseek,
    fstat,
    fsync,
    fflush,
    fclose,
    fopen,
    flock,
    fork,
    waitpid,
    sigaction,
    clock_gettime,
    getgrnam_r,
    setegid,
    setenv,
    unsetenv,
    getline,  // fails with -1 and the armed errno (ENOMEM: the line buffer cannot grow)
    time,
    gettimeofday,
    localtime_r,
    mkdir,
    realpath,
    stat,
    truncate,
    unlink,
    opendir,
    scandir,
    sysconf,
    fread,   // returns 0 with the stream's error indicator set
    fwrite,  // likewise
    vsnprintf,
    count_
};

// Fails the call that is `nth` (0 = the next one) of its kind from now, once, with `err`
// as errno (allocations fail with NULL and ENOMEM). A negative nth disarms.
void arm(Call call, long nth, int err = 0);
void disarm_all();
// Calls of this kind seen since it was last armed.
long seen(Call call);
// True once the armed failure has been delivered.
bool fired(Call call);

// Blocks handed out by the wrapped allocator and not yet freed.
size_t live_blocks();
// Open descriptors of this process (entries of /proc/self/fd, minus the one used to count).
int open_descriptors();

}  // namespace xk::fault

#endif
