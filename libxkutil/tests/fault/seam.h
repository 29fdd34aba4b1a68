/* SPDX-License-Identifier: MIT */
// Test-only seam over the allocator and the system calls the library makes. The fault test
// binary is linked with -Wl,--wrap for each of them, so every call from the library's static
// objects passes through here. Nothing is injected until a test arms a countdown.
#ifndef XK_TESTS_FAULT_SEAM_H
#define XK_TESTS_FAULT_SEAM_H

#include <stddef.h>

namespace xk::fault {

// Fails the call of kind `call` that is `nth` (0 = the next one) from now, once, with `err` as
// errno. The kind is the function's name, or "alloc" for malloc, calloc, realloc, strdup and
// strndup, which fail with ENOMEM.
void arm(const char *call, long nth, int err);
// What the armed kind met since arm(): its calls, and whether the failure was delivered.
struct Met { long calls; bool fired; };
Met disarm();
// Blocks handed out by the wrapped allocator and not yet freed.
size_t live_blocks();
// Open descriptors of this process.
int open_descriptors();

}  // namespace xk::fault

#endif
