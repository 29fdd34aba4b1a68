#include "xk/collection.h"

#include "support/capture.h"

namespace {

// Elements are malloc'd ints; every copy is counted and every release recorded in order.
std::vector<int> g_freed;
int g_copies = 0;
void *make_int() { return calloc(1, sizeof(int)); }
void *copy_int(const void *src) { return ++g_copies, memcpy(malloc(sizeof(int)), src, sizeof(int)); }
void *copy_fails(const void *) { return ++g_copies, nullptr; }
void free_int(void *element) { g_freed.push_back(*static_cast<int *>(element)), free(element); }

class CollectionTest : public xk::test::ReportingTest {
protected:
    xk_collection *c = xk_collection_new("things", make_int, copy_int, free_int);
    CollectionTest() { g_freed.clear(), g_copies = 0; }
    ~CollectionTest() override {
        xk_collection_free(c);
        EXPECT_TRUE(traces().empty() && lines().empty());  // the collection never traces or logs
    }
    // Appends up to the given counts; the capacity at each.
    std::vector<int32_t> capacities(std::vector<int> counts) {
        std::vector<int32_t> seen;
        for (int target : counts) {
            for (int value = c->count; value < target; ++value)
                EXPECT_TRUE(xk_collection_element_add(c, &value));
            seen.push_back(c->capacity);
        }
        return seen;
    }
};

TEST_F(CollectionTest, GrowthSequences) {
    EXPECT_EQ(capacities({1, 10, 11, 21}), std::vector<int32_t>({10, 10, 20, 30}));
    void *first = xk_collection_element(c, 0);
    xk_collection_set_growth(c, 0);  // applies from the next enlargement
    EXPECT_EQ(capacities({30, 31}), std::vector<int32_t>({30, 30 + 30 * 3 / 2 + 1}));
    EXPECT_EQ(xk_collection_element(c, 0), first);  // elements stay put when the slots move
    for (int32_t slot = c->count; slot < c->capacity; ++slot) EXPECT_EQ(c->elements[slot], nullptr);
    for (int32_t step : {0, -4}) {
        xk_collection_free(c);
        c = xk_collection_new(nullptr, nullptr, copy_int, free_int);
        xk_collection_set_growth(c, step);
        EXPECT_EQ(capacities({1, 2, 4, 9, 22}), std::vector<int32_t>({1, 3, 8, 21, 53}));
        EXPECT_EQ(c->name, nullptr);
    }
}

TEST_F(CollectionTest, FailuresAreToldByResults) {
    int loose = 1;
    EXPECT_FALSE(xk_collection_element_attach(c, nullptr) || xk_collection_element_attach(nullptr, &loose) ||
                 xk_collection_element_add(c, nullptr) || xk_collection_element_add(nullptr, &loose) ||
                 xk_collection_element_new(nullptr) || xk_collection_element(nullptr, 0));
    c->copy_fn = copy_fails;
    EXPECT_FALSE(xk_collection_element_add(c, &loose));
    c->copy_fn = nullptr;
    c->create_fn = nullptr;
    EXPECT_FALSE(xk_collection_element_add(c, &loose) || xk_collection_element_new(c));
    EXPECT_TRUE(g_copies == 1 && g_freed.empty());  // one copy tried, free_fn never called
    EXPECT_TRUE(xk_collection_len(c) == 0 && c->elements == nullptr && xk_collection_len(nullptr) == 0);
    EXPECT_EQ(xk_collection_new("x", make_int, copy_int, nullptr), nullptr);
    xk_collection_set_growth(nullptr, 5);
    xk_collection_free(nullptr);
}

TEST_F(CollectionTest, OwnsItsElementsAndFreesThemInIndexOrder) {
    int *own = static_cast<int *>(malloc(sizeof(int))), source = 3;
    *own = 1;
    ASSERT_TRUE(xk_collection_element_attach(c, own));
    int *fresh = static_cast<int *>(xk_collection_element_new(c));
    *fresh = 2;  // filled in place
    ASSERT_TRUE(xk_collection_element_add(c, &source));
    EXPECT_EQ(xk_collection_len(c), 3);
    EXPECT_EQ(std::vector<void *>({xk_collection_element(c, 0), xk_collection_element(c, 1),
                                   xk_collection_element(c, -1), xk_collection_element(c, 3)}),
              std::vector<void *>({own, fresh, nullptr, nullptr}));
    EXPECT_NE(xk_collection_element(c, 2), &source);
    xk_collection_free(c);
    c = nullptr;
    EXPECT_EQ(g_freed, std::vector<int>({1, 2, 3}));
}

}  // namespace
