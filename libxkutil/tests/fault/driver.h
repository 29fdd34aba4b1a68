// Drives an operation through every allocation or system-call failure it can meet.
#ifndef XK_TESTS_FAULT_DRIVER_H
#define XK_TESTS_FAULT_DRIVER_H

#include <gtest/gtest.h>

#include "fault/seam.h"

namespace xk::fault {

// Runs `attempt` with the nth call of `call` failing, for n = 0, 1, 2, ... until a run meets
// no injected failure. `attempt` returns true when the operation succeeded (and releases
// what it got); after each injected failure `expect_failure` checks what the caller sees.
// Every run must leave no allocated block and no descriptor behind. Returns the number
// of failure points met.
template <typename Attempt, typename ExpectFailure>
long drive(Call call, int err, Attempt attempt, ExpectFailure expect_failure) {
    for (long n = 0;; ++n) {
        size_t blocks_before = live_blocks();
        int fds_before = open_descriptors();
        arm(call, n, err);
        bool succeeded = attempt();
        bool injected = fired(call);
        disarm_all();
        EXPECT_EQ(live_blocks(), blocks_before) << "blocks leaked with failure point " << n;
        EXPECT_EQ(open_descriptors(), fds_before) << "descriptors leaked with failure point " << n;
        if (!injected) {
            EXPECT_TRUE(succeeded) << "failed with nothing injected at point " << n;
            return n;
        }
        EXPECT_FALSE(succeeded) << "succeeded through an injected failure at point " << n;
        expect_failure(n);
        if (::testing::Test::HasFailure()) return n;
    }
}

template <typename Attempt, typename ExpectFailure>
long drive_allocations(Attempt attempt, ExpectFailure expect_failure) {
    return drive(Call::malloc_family, ENOMEM, attempt, expect_failure);
}

}  // namespace xk::fault

#endif
