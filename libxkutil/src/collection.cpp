// SPDX-License-Identifier: MIT
#include "xk/collection.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "internal/checked.h"

namespace {
// The collection reports by its results only, so kSource names no trace record; it is kept
// so that every source file says where it lives.
[[maybe_unused]] constexpr const char *kSource = "src/collection";

static_assert(offsetof(xk_collection, create_fn) == 0);
static_assert(offsetof(xk_collection, copy_fn) == 8);
static_assert(offsetof(xk_collection, free_fn) == 16);
static_assert(offsetof(xk_collection, name) == 24);
static_assert(offsetof(xk_collection, growth) == 32);
static_assert(offsetof(xk_collection, elements) == 40);
static_assert(offsetof(xk_collection, capacity) == 48);
static_assert(offsetof(xk_collection, count) == 52);
static_assert(sizeof(xk_collection) == 56);

constexpr int32_t kDefaultGrowth = 10;

// The capacity after the next enlargement and its size in bytes; false when it would pass the
// largest signed 32-bit value: such an append is refused like an allocation failure.
bool next_capacity(const xk_collection *c, int32_t *capacity, size_t *bytes) {
    int64_t increment = c->growth > 0 ? c->growth : 3 * int64_t{c->count} / 2 + 1;
    int64_t wanted = 0;
    return xk::checked::add(int64_t{c->count}, increment, &wanted) && xk::checked::narrow(wanted, capacity) &&
           xk::checked::mul(static_cast<size_t>(*capacity), sizeof(void *), bytes);
}

// Makes room for one more element; on false the collection is exactly as it was.
bool reserve_one_slot(xk_collection *c) {
    if (c->elements == nullptr) {
        int32_t slots = c->growth > 0 ? c->growth : 1;
        auto *elements = static_cast<void **>(calloc(static_cast<size_t>(slots), sizeof(void *)));
        if (elements == nullptr) return false;
        c->elements = elements;
        c->capacity = slots;
        return true;
    }
    // A free slot means count < capacity <= INT32_MAX, so count + 1 still fits.
    if (c->count < c->capacity) return true;
    int32_t capacity = 0;
    size_t bytes = 0;
    if (!next_capacity(c, &capacity, &bytes)) return false;
    auto *elements = static_cast<void **>(realloc(c->elements, bytes));
    if (elements == nullptr) return false;
    memset(elements + c->count, 0, static_cast<size_t>(capacity - c->count) * sizeof(void *));
    c->elements = elements;
    c->capacity = capacity;
    return true;
}
}  // namespace

extern "C" {

xk_collection *xk_collection_new(const char *name, xk_collection_create_fn create_fn,
                                 xk_collection_copy_fn copy_fn, xk_collection_free_fn free_fn) {
    if (free_fn == nullptr) return nullptr;
    auto *c = static_cast<xk_collection *>(calloc(1, sizeof(xk_collection)));
    if (c == nullptr) return nullptr;
    if (name != nullptr) c->name = strdup(name);  // a failed copy leaves the collection unnamed
    c->growth = kDefaultGrowth;
    c->create_fn = create_fn;
    c->copy_fn = copy_fn;
    c->free_fn = free_fn;
    return c;
}

void xk_collection_free(xk_collection *collection) {
    if (collection == nullptr) return;
    if (collection->elements != nullptr) {
        for (int32_t i = 0; i < collection->count; ++i) collection->free_fn(collection->elements[i]);
        free(collection->elements);
    }
    free(collection->name);
    free(collection);
}

int32_t xk_collection_len(const xk_collection *collection) {
    return collection == nullptr ? 0 : collection->count;
}

void xk_collection_set_growth(xk_collection *collection, int32_t growth) {
    if (collection != nullptr) collection->growth = growth;
}

bool xk_collection_element_attach(xk_collection *collection, void *element) {
    if (collection == nullptr || element == nullptr) return false;
    if (!reserve_one_slot(collection)) return false;
    collection->elements[collection->count] = element;
    collection->count += 1;
    return true;
}

bool xk_collection_element_add(xk_collection *collection, const void *element) {
    if (collection == nullptr || element == nullptr || collection->copy_fn == nullptr) return false;
    void *copy = collection->copy_fn(element);
    if (copy == nullptr) return false;
    if (xk_collection_element_attach(collection, copy)) return true;
    collection->free_fn(copy);
    return false;
}

void *xk_collection_element_new(xk_collection *collection) {
    if (collection == nullptr || collection->create_fn == nullptr) return nullptr;
    void *element = collection->create_fn();
    if (element == nullptr) return nullptr;
    if (xk_collection_element_attach(collection, element)) return element;
    collection->free_fn(element);
    return nullptr;
}

void *xk_collection_element(const xk_collection *collection, int32_t index) {
    if (index < 0 || collection == nullptr || index >= collection->count) return nullptr;
    return collection->elements[index];
}

}  // extern "C"
