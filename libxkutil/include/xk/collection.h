/** @file
 * A growable, ordered collection that owns its elements. Its operations report failure
 * only by their results (NULL, false, 0): they never trace or log. */
#ifndef XK_COLLECTION_H
#define XK_COLLECTION_H

#include <stdbool.h>
#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Makes a fresh element for xk_collection_element_new; NULL when it cannot. */
typedef void *(*xk_collection_create_fn)(void);
/** Makes the collection's own copy of an element for xk_collection_element_add; NULL when it cannot. */
typedef void *(*xk_collection_copy_fn)(const void *element);
/** Releases one element the collection owns. */
typedef void (*xk_collection_free_fn)(void *element);

/** Slots 0 .. count-1 hold the elements in append order; slots count .. capacity-1 are zero.
 * A growth step of 0 or less grows by half the count plus one each time. */
typedef struct xk_collection {
    xk_collection_create_fn create_fn; /**< may be NULL: xk_collection_element_new then fails */
    xk_collection_copy_fn copy_fn;     /**< may be NULL: xk_collection_element_add then fails */
    xk_collection_free_fn free_fn;     /**< never NULL in a made collection */
    char *name;                        /**< private copy of the name, or NULL */
    int32_t growth;                    /**< growth step, 10 by default */
    void **elements;                   /**< NULL until the first element is attached */
    int32_t capacity;                  /**< slots allocated */
    int32_t count;                     /**< elements held */
} xk_collection;

/** Makes an empty collection; free it with xk_collection_free. NULL when free_fn is NULL or
 * memory runs out. name may be NULL; a copy is kept. */
XK_API xk_collection *xk_collection_new(const char *name, xk_collection_create_fn create_fn,
                                        xk_collection_copy_fn copy_fn, xk_collection_free_fn free_fn);

/** Releases every element with free_fn in index order, then the collection. NULL does nothing. */
XK_API void xk_collection_free(xk_collection *collection);

/** The number of elements; 0 for NULL. */
XK_API int32_t xk_collection_len(const xk_collection *collection);

/** Sets the growth step used by the next enlargement; NULL is ignored. */
XK_API void xk_collection_set_growth(xk_collection *collection, int32_t growth);

/** Appends element itself. True: the collection owns it. False (NULL argument, no memory, or
 * past 2^31 - 1 slots): nothing changed and the caller still owns it. */
XK_API bool xk_collection_element_attach(xk_collection *collection, void *element);

/** Appends a copy of element made by copy_fn; false when any of them is NULL or the copy or
 * the append fails (a copy that could not be appended is released). element stays the caller's. */
XK_API bool xk_collection_element_add(xk_collection *collection, const void *element);

/** Appends a fresh element made by create_fn and returns it (owned by the collection, fill it
 * in place); NULL when create_fn is NULL or the making or the append fails. */
XK_API void *xk_collection_element_new(xk_collection *collection);

/** The element at index, still owned by the collection; NULL when out of range or NULL. */
XK_API void *xk_collection_element(const xk_collection *collection, int32_t index);

#ifdef __cplusplus
}
#endif

#endif
