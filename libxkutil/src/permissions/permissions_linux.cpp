// SPDX-License-Identifier: MIT
#include <errno.h>
#include <grp.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "internal/guards.h"
#include "internal/report.h"
#include "xk/permissions.h"

namespace {
constexpr const char *kSource = "src/permissions/permissions_linux";

// Names of up to 32 bytes are looked up; strnlen reaching 33 means a longer one.
constexpr size_t kNameLimit = 33;
}  // namespace

extern "C" {

xk_util_status ensure_egid(const char *group_name) {
    using namespace xk;
    if (group_name == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (strnlen(group_name, kNameLimit) == kNameLimit)
        return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    errno = 0;  // sysconf gives -1 without setting errno when the limit is indeterminate
    long size = sysconf(_SC_GETGR_R_SIZE_MAX);
    if (size == -1)
        return report::sys(__func__, kSource, __LINE__, errno, nullptr,
                           "Failed to query group structure size");
    MallocGuard<char> buf(static_cast<char *>(malloc(static_cast<size_t>(size))));
    if (!buf)
        return report::error(__func__, kSource, __LINE__, XK_ERR_NOMEM, "Failed to allocate %ld byte buffer",
                             size);
    struct group record;
    struct group *found = nullptr;
    // One lookup: a buffer too small (ERANGE) is a failure, not a reason to retry.
    int rc = getgrnam_r(group_name, &record, buf.get(), static_cast<size_t>(size), &found);
    if (rc != 0)
        return report::sys(__func__, kSource, __LINE__, rc, nullptr, "Failed to query group %s data",
                           group_name);
    if (found == nullptr)
        return report::error(__func__, kSource, __LINE__, XK_ERR_SYSTEM, "Failed to find group %s",
                             group_name);
    if (setegid(record.gr_gid) == -1)
        return report::sys(__func__, kSource, __LINE__, errno, nullptr,
                           "Failed to update effective gid for group %s", record.gr_name);
    return XK_OK;
}

}  // extern "C"
