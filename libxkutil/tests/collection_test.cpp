// SPDX-License-Identifier: MIT
#include "support/capture.h"

namespace {
// Elements are malloc'd ints; every release is recorded in order.
std::vector<int> g_freed;
void *make_int() { return calloc(1, sizeof(int)); }
void *copy_int(const void *src) { return memcpy(malloc(sizeof(int)), src, sizeof(int)); }
void *copy_fails(const void *) { return nullptr; }
void free_int(void *element) { g_freed.push_back(*static_cast<int *>(element)), free(element); }

// Appends copies of 0, 1, ... up to each count in turn; the capacity at each.
std::vector<int32_t> capacities(xk_collection *c, std::vector<int> counts) {
    std::vector<int32_t> seen;
    for (int target : counts) {
        for (int value = c->count; value < target; ++value) EXPECT_TRUE(xk_collection_element_add(c, &value));
        seen.push_back(c->capacity);
    }
    return seen;
}

using CollectionTest = xk::test::ReportingTest;

// Steps of 10, or half as many again plus one when the step is not positive, from the next
// enlargement on; the new slots are empty. Refusals are told by the results alone and change
// nothing; attached, created and copied elements are all owned and freed in index order.
TEST_F(CollectionTest, GrowthRefusalsAndOwnership) {
    xk_collection *c = xk_collection_new("things", make_int, copy_int, free_int), *plain;
    EXPECT_EQ(capacities(c, {1, 10, 11, 21}), std::vector<int32_t>({10, 10, 20, 30}));
    xk_collection_set_growth(c, 0);  // from the next enlargement on
    EXPECT_EQ(capacities(c, {30, 31}), std::vector<int32_t>({30, 30 + 30 * 3 / 2 + 1}));
    xk_collection_free(c);
    xk_collection_set_growth(plain = xk_collection_new(nullptr, nullptr, copy_int, free_int), -4);
    EXPECT_EQ(capacities(plain, {1, 2, 4, 9, 22}), std::vector<int32_t>({1, 3, 8, 21, 53}));
    int loose = 1, *own = static_cast<int *>(make_int()), source = 3;
    c = xk_collection_new("x", make_int, nullptr, free_int), plain->copy_fn = copy_fails;
    EXPECT_FALSE(xk_collection_element_attach(c, nullptr) || xk_collection_element_attach(nullptr, &loose) ||
                 xk_collection_element_add(c, nullptr) || xk_collection_element_add(nullptr, &loose) ||
                 xk_collection_element_add(c, &loose) || xk_collection_element_add(plain, &loose) ||
                 xk_collection_element_new(nullptr) || xk_collection_element_new(plain) ||
                 xk_collection_element(nullptr, 0) || xk_collection_new("x", make_int, copy_int, nullptr) ||
                 xk_collection_len(nullptr) || c->elements || plain->name);
    xk_collection_set_growth(nullptr, 5), xk_collection_free(nullptr), xk_collection_free(plain);
    c->copy_fn = copy_int, *own = 1, g_freed.clear();
    ASSERT_TRUE(xk_collection_element_attach(c, own));
    *static_cast<int *>(xk_collection_element_new(c)) = 2;  // filled in place
    ASSERT_TRUE(xk_collection_element_add(c, &source) && g_freed.empty());
    EXPECT_TRUE(xk_collection_len(c) == 3 && xk_collection_element(c, 0) == own &&
                xk_collection_element(c, 2) != &source && xk_collection_element(c, -1) == nullptr &&
                xk_collection_element(c, 3) == nullptr);
    xk_collection_free(c);
    EXPECT_TRUE(g_freed == std::vector<int>({1, 2, 3}) && traces().empty() && lines().empty());
}

}  // namespace
