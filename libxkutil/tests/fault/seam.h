/* SPDX-License-Identifier: MIT */
// Test-only seam over the allocator and the system calls the library makes. The fault test
// binary is linked with -Wl,--wrap for each of them, so every call from the library's static
// objects passes through here. Nothing is injected until a test arms a countdown.
#ifndef XK_TESTS_FAULT_SEAM_H
#define XK_TESTS_FAULT_SEAM_H

#include <stddef.h>

// malloc_family stands for malloc, calloc, realloc, strdup and strndup, which fail with ENOMEM.
#define XK_FAULT_CALLS(X)                                                                            \
    X(malloc_family) X(open) X(read) X(write) X(lseek) X(fstat) X(fsync) X(fflush) X(fclose) X(fopen) \
    X(fread) X(fwrite) X(flock) X(fork) X(waitpid) X(sigaction) X(clock_gettime) X(getgrnam_r)       \
    X(setegid) X(setenv) X(unsetenv) X(getline) X(time) X(gettimeofday) X(localtime_r) X(mkdir)      \
    X(realpath) X(stat) X(truncate) X(unlink) X(opendir) X(scandir) X(sysconf) X(vsnprintf)

namespace xk::fault {

#define XK_FAULT_ENUM(name) name,
enum class Call { XK_FAULT_CALLS(XK_FAULT_ENUM) count_ };
#undef XK_FAULT_ENUM

// Fails the call that is `nth` (0 = the next one) of its kind from now, once, with `err`
// as errno. A negative nth disarms.
void arm(Call call, long nth, int err);
void disarm_all();
// Calls of this kind seen since it was last armed.
long seen(Call call);
// True once the armed failure has been delivered.
bool fired(Call call);
// Blocks handed out by the wrapped allocator and not yet freed.
size_t live_blocks();
// Open descriptors of this process.
int open_descriptors();

}  // namespace xk::fault

#endif
