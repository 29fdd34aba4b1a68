#include "xk/collection.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>

#include <utility>
#include <vector>

#include "support/capture.h"

namespace {

// Elements are malloc'd ints; every release is recorded in order.
std::vector<int> g_freed;
int g_copies = 0;

void *make_int() { return calloc(1, sizeof(int)); }
void *copy_int(const void *src) {
    ++g_copies;
    int *copy = static_cast<int *>(malloc(sizeof(int)));
    *copy = *static_cast<const int *>(src);
    return copy;
}
void *copy_fails(const void *) { return ++g_copies, nullptr; }
void free_int(void *element) {
    g_freed.push_back(*static_cast<int *>(element));
    free(element);
}

class CollectionTest : public xk::test::ReportingTest {
protected:
    xk_collection *c = nullptr;
    void SetUp() override {
        g_freed.clear();
        g_copies = 0;
        c = xk_collection_new("things", make_int, copy_int, free_int);
        ASSERT_NE(c, nullptr);
    }
    void TearDown() override {
        xk_collection_free(c);
        EXPECT_TRUE(traces().empty());  // the collection never traces or logs
        EXPECT_TRUE(lines().empty());
    }
    // Appends n elements numbered from the current count; the capacity after each append.
    std::vector<int32_t> append(int n) {
        std::vector<int32_t> seen;
        for (int k = 0; k < n; ++k) {
            int value = c->count;
            EXPECT_TRUE(xk_collection_element_add(c, &value));
            seen.push_back(c->capacity);
        }
        return seen;
    }
};

TEST_F(CollectionTest, GrowthSequences) {
    EXPECT_EQ(c->growth, 10);
    auto seen = append(21);
    EXPECT_EQ(seen[0], 10);
    EXPECT_EQ(seen[9], 10);
    EXPECT_EQ(seen[10], 20);
    EXPECT_EQ(seen[20], 30);
    void *first = xk_collection_element(c, 0);
    xk_collection_set_growth(c, 0);  // applies from the next enlargement
    EXPECT_EQ(append(10).back(), 30 + 30 * 3 / 2 + 1);
    EXPECT_EQ(xk_collection_element(c, 0), first);  // elements stay put when the slots move
    for (int32_t slot = c->count; slot < c->capacity; ++slot) EXPECT_EQ(c->elements[slot], nullptr);

    for (int32_t step : {0, -4}) {
        xk_collection_free(c);
        c = xk_collection_new(nullptr, nullptr, copy_int, free_int);
        EXPECT_EQ(c->name, nullptr);
        xk_collection_set_growth(c, step);
        seen = append(22);
        EXPECT_EQ(std::vector<int32_t>({seen[0], seen[1], seen[3], seen[8], seen[21]}),
                  std::vector<int32_t>({1, 3, 8, 21, 53}));
    }
}

TEST_F(CollectionTest, AppendPastSigned32BitLimitsIsRefusedUnchanged) {
    append(1);
    void **slots = c->elements;
    // Full collections whose next capacity (count + step, count + 3 * count / 2 + 1, count + 1)
    // does not fit.
    for (auto [growth, count] : {std::pair{INT32_MAX, 10}, {0, 900000000}, {10, INT32_MAX}}) {
        c->growth = growth;
        c->count = c->capacity = count;
        int loose = 7;
        EXPECT_FALSE(xk_collection_element_attach(c, &loose));
        EXPECT_EQ(c->elements, slots);
        EXPECT_EQ(c->capacity, count);
        EXPECT_EQ(c->count, count);
        // What add and new made is released when the append fails; the source never is.
        EXPECT_FALSE(xk_collection_element_add(c, &loose));
        EXPECT_EQ(xk_collection_element_new(c), nullptr);
        EXPECT_EQ(g_freed, std::vector<int>({7, 0}));
        g_freed.clear();
    }
    c->count = c->capacity = 1;
}

TEST_F(CollectionTest, FailuresAreToldByResults) {
    int loose = 1;
    EXPECT_FALSE(xk_collection_element_attach(c, nullptr));
    EXPECT_FALSE(xk_collection_element_attach(nullptr, &loose));
    EXPECT_FALSE(xk_collection_element_add(c, nullptr));
    EXPECT_EQ(xk_collection_len(c), 0);
    EXPECT_EQ(c->elements, nullptr);
    c->copy_fn = copy_fails;
    EXPECT_FALSE(xk_collection_element_add(c, &loose));
    c->copy_fn = nullptr;
    c->create_fn = nullptr;
    EXPECT_FALSE(xk_collection_element_add(c, &loose));
    EXPECT_EQ(xk_collection_element_new(c), nullptr);
    EXPECT_EQ(g_copies, 1);
    EXPECT_TRUE(g_freed.empty());
    EXPECT_EQ(xk_collection_new("x", make_int, copy_int, nullptr), nullptr);
    EXPECT_EQ(xk_collection_len(nullptr), 0);
    EXPECT_EQ(xk_collection_element(nullptr, 0), nullptr);
    xk_collection_set_growth(nullptr, 5);
    xk_collection_free(nullptr);
}

TEST_F(CollectionTest, OwnsItsElementsAndFreesThemInIndexOrder) {
    int *own = static_cast<int *>(malloc(sizeof(int)));
    *own = 1;
    ASSERT_TRUE(xk_collection_element_attach(c, own));
    int *fresh = static_cast<int *>(xk_collection_element_new(c));
    ASSERT_NE(fresh, nullptr);
    *fresh = 2;  // filled in place
    int source = 3;
    ASSERT_TRUE(xk_collection_element_add(c, &source));
    EXPECT_EQ(xk_collection_len(c), 3);
    EXPECT_EQ(xk_collection_element(c, 0), own);
    EXPECT_EQ(xk_collection_element(c, 1), fresh);
    EXPECT_NE(xk_collection_element(c, 2), &source);
    EXPECT_EQ(xk_collection_element(c, -1), nullptr);
    EXPECT_EQ(xk_collection_element(c, 3), nullptr);
    xk_collection_free(c);
    c = nullptr;
    EXPECT_EQ(g_freed, std::vector<int>({1, 2, 3}));
}

}  // namespace
