#include <stdlib.h>
#include <string.h>

#include <vector>

#include "fault/driver.h"
#include "xk/collection.h"

namespace {

using xk::fault::drive_allocations;

void *make_int() { return calloc(1, sizeof(int)); }
void *copy_int(const void *from) {
    int *copy = static_cast<int *>(malloc(sizeof(int)));
    if (copy != nullptr) *copy = *static_cast<const int *>(from);
    return copy;
}
void free_int(void *p) { free(p); }

// Everything a caller can see of a collection, to compare before and after a failed append.
struct Snapshot {
    int32_t len;
    int32_t capacity;
    void **elements;
    std::vector<void *> items;
    bool operator==(const Snapshot &) const = default;
};

Snapshot snapshot(const xk_collection *c) {
    Snapshot s{xk_collection_len(c), c->capacity, c->elements, {}};
    for (int32_t i = 0; i < s.len; ++i) s.items.push_back(xk_collection_element(c, i));
    return s;
}

// Fills a collection to exactly `count` elements so that the next append must grow it.
xk_collection *full_collection(int32_t growth, int32_t count) {
    xk_collection *c = xk_collection_new("numbers", make_int, copy_int, free_int);
    xk_collection_set_growth(c, growth);
    for (int32_t i = 0; i < count; ++i) *static_cast<int *>(xk_collection_element_new(c)) = i;
    return c;
}

// Fails allocation n = 0, 1, 2, ... of one append into a fresh collection of `count` elements
// until the append meets no failure. Each failed append must leave the collection as it was and
// no block behind. Returns the number of failure points.
template <typename Append>
long drive_append(int32_t growth, int32_t count, Append append) {
    for (long n = 0;; ++n) {
        xk_collection *c = full_collection(growth, count);
        Snapshot before = snapshot(c);
        size_t blocks = xk::fault::live_blocks();
        xk::fault::arm(xk::fault::Call::malloc_family, n);
        bool ok = append(c);
        bool injected = xk::fault::fired(xk::fault::Call::malloc_family);
        xk::fault::disarm_all();
        if (!injected) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(xk_collection_len(c), count + 1);
        } else {
            EXPECT_FALSE(ok) << "point " << n;
            EXPECT_EQ(snapshot(c), before) << "point " << n;
            EXPECT_EQ(xk::fault::live_blocks(), blocks) << "point " << n;
        }
        for (int32_t i = 0; i < count; ++i) EXPECT_EQ(*static_cast<int *>(xk_collection_element(c, i)), i);
        xk_collection_free(c);
        if (!injected || ::testing::Test::HasFailure()) return n;
    }
}

TEST(CollectionFaults, NewFailsOnlyWhenTheRecordCannotBeHad) {
    size_t blocks = xk::fault::live_blocks();
    xk::fault::arm(xk::fault::Call::malloc_family, 0);
    EXPECT_EQ(xk_collection_new("name", make_int, copy_int, free_int), nullptr);
    xk::fault::disarm_all();
    EXPECT_EQ(xk::fault::live_blocks(), blocks);
    // A failed copy of the name is not a failure: the collection is made without one.
    xk::fault::arm(xk::fault::Call::malloc_family, 1);
    xk_collection *c = xk_collection_new("name", make_int, copy_int, free_int);
    EXPECT_TRUE(xk::fault::fired(xk::fault::Call::malloc_family));
    xk::fault::disarm_all();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->name, nullptr);
    EXPECT_EQ(c->growth, 10);
    xk_collection_free(c);
    EXPECT_EQ(xk::fault::live_blocks(), blocks);
}

TEST(CollectionFaults, FailedAppendsLeaveTheCollectionExactlyAsItWas) {
    // The first slots, a fixed step, and the proportional step of a zero growth.
    for (auto [growth, count] : {std::pair{10, 0}, std::pair{2, 4}, std::pair{0, 3}}) {
        SCOPED_TRACE(testing::Message() << "growth " << growth << ", count " << count);
        int *element = static_cast<int *>(malloc(sizeof(int)));
        *element = count;
        // attach: on false the element stays the caller's.
        EXPECT_EQ(drive_append(growth, count,
                               [&](xk_collection *c) {
                                   if (!xk_collection_element_attach(c, element)) return false;
                                   element = nullptr;  // the collection owns it now
                                   return true;
                               }),
                  1);
        free(element);
        // add: the copy, then the slots; new: the fresh element, then the slots.
        int value = 42;
        EXPECT_EQ(drive_append(growth, count,
                               [&](xk_collection *c) { return xk_collection_element_add(c, &value); }),
                  2);
        EXPECT_EQ(drive_append(growth, count,
                               [&](xk_collection *c) { return xk_collection_element_new(c) != nullptr; }),
                  2);
    }
}

}  // namespace
