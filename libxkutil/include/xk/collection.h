/* SPDX-License-Identifier: MIT */
/** @file
 * A growable, ordered collection that owns its elements. Its operations report failure
 * only by their results (NULL, false, 0): they never trace or log.
 *
 * @code
 * static void *copy_name(const void *s) { return strdup(s); }
 *
 * xk_collection *names = xk_collection_new("names", NULL, copy_name, free);
 * if (names == NULL) return;
 * xk_collection_element_add(names, "ann");         // the collection keeps its own copy
 * for (int32_t i = 0; i < xk_collection_len(names); i++) puts(xk_collection_element(names, i));
 * xk_collection_free(names);                       // frees every copy, then the collection
 * @endcode */
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

/** Makes an empty collection; free it with xk_collection_free.
 * @param name the collection's name, or NULL; a copy is kept
 * @param create_fn makes fresh elements for xk_collection_element_new; may be NULL
 * @param copy_fn copies elements for xk_collection_element_add; may be NULL
 * @param free_fn releases one element; required
 * @return the collection, or NULL when free_fn is NULL or memory runs out */
XK_API xk_collection *xk_collection_new(const char *name, xk_collection_create_fn create_fn,
                                        xk_collection_copy_fn copy_fn, xk_collection_free_fn free_fn);

/** Releases every element with free_fn in index order, then the collection. NULL does nothing.
 * @param collection the collection */
XK_API void xk_collection_free(xk_collection *collection);

/** The number of elements.
 * @param collection the collection
 * @return the count; 0 for NULL */
XK_API int32_t xk_collection_len(const xk_collection *collection);

/** Sets the growth step used by the next enlargement; NULL is ignored.
 * @param collection the collection
 * @param growth slots added per enlargement; 0 or less grows by half the count plus one */
XK_API void xk_collection_set_growth(xk_collection *collection, int32_t growth);

/** Appends element itself.
 * @param collection the collection
 * @param element the element, handed over on success
 * @return true: the collection owns it; false (NULL argument, no memory, or past 2^31 - 1
 *         slots): nothing changed and the caller still owns it */
XK_API bool xk_collection_element_attach(xk_collection *collection, void *element);

/** Appends a copy of element made by copy_fn; element stays the caller's.
 * @param collection the collection
 * @param element the element to copy
 * @return true when the copy was appended; false when any of them is NULL or the copy or the
 *         append fails (a copy that could not be appended is released) */
XK_API bool xk_collection_element_add(xk_collection *collection, const void *element);

/** Appends a fresh element made by create_fn.
 * @param collection the collection
 * @return the new element, owned by the collection (fill it in place); NULL when create_fn is
 *         NULL or the making or the append fails */
XK_API void *xk_collection_element_new(xk_collection *collection);

/** The element at index, still owned by the collection.
 * @param collection the collection
 * @param index the position, 0 .. count-1
 * @return the element; NULL when index is out of range or the collection is NULL */
XK_API void *xk_collection_element(const xk_collection *collection, int32_t index);

#ifdef __cplusplus
}
#endif

#endif
