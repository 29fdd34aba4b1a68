#include "xk/collection.h"

#include <gtest/gtest.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <vector>

#include "support/capture.h"

namespace {

// Elements are malloc'd ints; every release and every copy is recorded.
std::vector<int> g_freed;
int g_copies = 0;

void *make_int() { return calloc(1, sizeof(int)); }
void *copy_int(const void *src) {
    ++g_copies;
    int *copy = static_cast<int *>(malloc(sizeof(int)));
    if (copy != nullptr) *copy = *static_cast<const int *>(src);
    return copy;
}
void *copy_nothing(const void *) {
    ++g_copies;
    return nullptr;
}
void free_int(void *element) {
    g_freed.push_back(*static_cast<int *>(element));
    free(element);
}
int *new_int(int v) {
    int *p = static_cast<int *>(malloc(sizeof(int)));
    *p = v;
    return p;
}

class CollectionTest : public xk::test::ReportingTest {
   protected:
    void SetUp() override {
        g_freed.clear();
        g_copies = 0;
    }
    // Nothing the collection does may trace or log.
    void TearDown() override {
        EXPECT_TRUE(traces().empty());
        EXPECT_TRUE(lines().empty());
    }
    // Appends until count reaches n, returning the capacity seen after each append.
    static std::vector<int32_t> capacities(xk_collection *c, int n) {
        std::vector<int32_t> seen;
        for (int i = 0; i < n; ++i) {
            EXPECT_TRUE(xk_collection_element_attach(c, new_int(i)));
            seen.push_back(c->capacity);
        }
        return seen;
    }
};

TEST_F(CollectionTest, RecordLayoutIsTheInterface) {
    EXPECT_EQ(offsetof(xk_collection, create_fn), 0u);
    EXPECT_EQ(offsetof(xk_collection, copy_fn), 8u);
    EXPECT_EQ(offsetof(xk_collection, free_fn), 16u);
    EXPECT_EQ(offsetof(xk_collection, name), 24u);
    EXPECT_EQ(offsetof(xk_collection, growth), 32u);
    EXPECT_EQ(offsetof(xk_collection, elements), 40u);
    EXPECT_EQ(offsetof(xk_collection, capacity), 48u);
    EXPECT_EQ(offsetof(xk_collection, count), 52u);
    EXPECT_EQ(sizeof(xk_collection), 56u);
}

TEST_F(CollectionTest, NewNeedsFreeFnAndCopiesTheName) {
    EXPECT_EQ(xk_collection_new("x", make_int, copy_int, nullptr), nullptr);
    char name[] = "things";
    xk_collection *c = xk_collection_new(name, make_int, copy_int, free_int);
    ASSERT_NE(c, nullptr);
    name[0] = 'T';
    EXPECT_STREQ(c->name, "things");
    EXPECT_EQ(c->growth, 10);
    EXPECT_EQ(c->elements, nullptr);
    EXPECT_EQ(c->capacity, 0);
    EXPECT_EQ(xk_collection_len(c), 0);
    xk_collection_free(c);
    c = xk_collection_new(nullptr, nullptr, nullptr, free_int);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->name, nullptr);
    xk_collection_free(c);
}

TEST_F(CollectionTest, DefaultStepGrowsByTen) {
    xk_collection *c = xk_collection_new("c", nullptr, nullptr, free_int);
    auto seen = capacities(c, 21);
    EXPECT_EQ(seen[0], 10);
    EXPECT_EQ(seen[9], 10);
    EXPECT_EQ(seen[10], 20);  // the eleventh append
    EXPECT_EQ(seen[20], 30);
    for (int32_t slot = c->count; slot < c->capacity; ++slot) EXPECT_EQ(c->elements[slot], nullptr);
    xk_collection_free(c);
}

TEST_F(CollectionTest, StepOfZeroOrLessGrowsProportionally) {
    for (int32_t step : {0, -4}) {
        xk_collection *c = xk_collection_new("c", nullptr, nullptr, free_int);
        xk_collection_set_growth(c, step);
        auto seen = capacities(c, 22);
        EXPECT_EQ(seen[0], 1);
        EXPECT_EQ(seen[1], 3);
        EXPECT_EQ(seen[3], 8);
        EXPECT_EQ(seen[8], 21);
        EXPECT_EQ(seen[21], 53);
        for (int32_t slot = c->count; slot < c->capacity; ++slot) EXPECT_EQ(c->elements[slot], nullptr);
        xk_collection_free(c);
    }
}

TEST_F(CollectionTest, ChangedStepAppliesFromTheNextEnlargement) {
    xk_collection *c = xk_collection_new("c", nullptr, nullptr, free_int);
    capacities(c, 10);
    int *first = static_cast<int *>(xk_collection_element(c, 0));
    xk_collection_set_growth(c, 3);
    EXPECT_EQ(c->capacity, 10);
    EXPECT_EQ(capacities(c, 1)[0], 13);
    xk_collection_set_growth(c, 0);
    EXPECT_EQ(capacities(c, 3).back(), 13 + 13 * 3 / 2 + 1);
    EXPECT_EQ(xk_collection_element(c, 0), first);  // elements stay put when the slots move
    xk_collection_free(c);
}

TEST_F(CollectionTest, AppendPastSigned32BitLimitsIsRefusedUnchanged) {
    xk_collection *c = xk_collection_new("c", nullptr, nullptr, free_int);
    ASSERT_TRUE(xk_collection_element_attach(c, new_int(0)));
    void **slots = c->elements;
    struct Case {
        int32_t growth, count;
    };
    // A full collection whose next capacity would not fit: count + step, count + 3 * count / 2 + 1,
    // and a count that is already the largest value.
    for (Case k : {Case{INT32_MAX, 10}, Case{0, 900000000}, Case{10, INT32_MAX}}) {
        c->growth = k.growth;
        c->count = c->capacity = k.count;
        int element = 7;
        EXPECT_FALSE(xk_collection_element_attach(c, &element));
        EXPECT_EQ(c->elements, slots);
        EXPECT_EQ(c->capacity, k.count);
        EXPECT_EQ(c->count, k.count);
    }
    c->count = c->capacity = 1;
    c->growth = 10;
    xk_collection_free(c);
    EXPECT_EQ(g_freed, std::vector<int>({0}));
}

TEST_F(CollectionTest, NullsAreRefusedByResults) {
    xk_collection *c = xk_collection_new("c", nullptr, copy_int, free_int);
    EXPECT_FALSE(xk_collection_element_attach(c, nullptr));
    int loose = 1;
    EXPECT_FALSE(xk_collection_element_attach(nullptr, &loose));
    EXPECT_EQ(xk_collection_len(c), 0);
    EXPECT_EQ(c->elements, nullptr);
    EXPECT_EQ(xk_collection_element_new(c), nullptr);  // no create_fn
    EXPECT_FALSE(xk_collection_element_add(c, nullptr));
    EXPECT_FALSE(xk_collection_element_add(nullptr, &g_copies));
    EXPECT_EQ(g_copies, 0);
    EXPECT_EQ(xk_collection_len(nullptr), 0);
    EXPECT_EQ(xk_collection_element(nullptr, 0), nullptr);
    xk_collection_set_growth(nullptr, 5);
    xk_collection_free(nullptr);
    xk_collection_free(c);
    EXPECT_TRUE(g_freed.empty());
}

TEST_F(CollectionTest, AddStoresACopyAndNeverTheSource) {
    xk_collection *c = xk_collection_new("c", nullptr, nullptr, free_int);
    int source = 42;
    EXPECT_FALSE(xk_collection_element_add(c, &source));  // no copy_fn
    c->copy_fn = copy_nothing;
    EXPECT_FALSE(xk_collection_element_add(c, &source));
    EXPECT_EQ(g_copies, 1);
    EXPECT_TRUE(g_freed.empty());
    c->copy_fn = copy_int;
    ASSERT_TRUE(xk_collection_element_add(c, &source));
    int *stored = static_cast<int *>(xk_collection_element(c, 0));
    EXPECT_NE(stored, &source);
    EXPECT_EQ(*stored, 42);
    xk_collection_free(c);
    EXPECT_EQ(g_freed, std::vector<int>({42}));
}

TEST_F(CollectionTest, AddAndNewReleaseWhatTheyMadeWhenTheAppendFails) {
    xk_collection *c = xk_collection_new("c", make_int, copy_int, free_int);
    ASSERT_TRUE(xk_collection_element_attach(c, new_int(5)));
    c->count = c->capacity = INT32_MAX;  // full: the next append is refused
    int source = 9;
    EXPECT_FALSE(xk_collection_element_add(c, &source));
    EXPECT_EQ(g_freed, std::vector<int>({9}));  // the copy, not the source
    EXPECT_EQ(xk_collection_element_new(c), nullptr);
    EXPECT_EQ(g_freed, std::vector<int>({9, 0}));
    c->count = c->capacity = 1;
    xk_collection_free(c);
}

TEST_F(CollectionTest, NewElementIsOwnedAndIndexedInAppendOrder) {
    xk_collection *c = xk_collection_new("c", make_int, copy_int, free_int);
    ASSERT_TRUE(xk_collection_element_attach(c, new_int(1)));
    int *fresh = static_cast<int *>(xk_collection_element_new(c));
    ASSERT_NE(fresh, nullptr);
    *fresh = 2;  // filled in place
    int three = 3;
    ASSERT_TRUE(xk_collection_element_add(c, &three));
    EXPECT_EQ(xk_collection_len(c), 3);
    EXPECT_EQ(xk_collection_element(c, 1), fresh);
    EXPECT_EQ(*static_cast<int *>(xk_collection_element(c, 2)), 3);
    EXPECT_EQ(xk_collection_element(c, -1), nullptr);
    EXPECT_EQ(xk_collection_element(c, xk_collection_len(c)), nullptr);
    xk_collection_free(c);
    EXPECT_EQ(g_freed, std::vector<int>({1, 2, 3}));
}

}  // namespace
