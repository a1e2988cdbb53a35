/* Host strings: the run-time strings that cross the DoUpdate boundary.
 *
 * This header is public and plain C, so a host written in C or C++ can make and release the
 * strings it passes. A host string is a pointer to the first character of an 8-bit character
 * array (windows-1250 text) followed by a NUL. The four bytes before the first character hold the
 * 32-bit character count and the four bytes before those a 32-bit reference count; a reference
 * count of -1 marks a constant that is never freed. A null pointer is the empty string.
 *
 *   block:  [reference count: int32][length: int32][characters ...][NUL]
 *                                                   ^ the host string points here
 *
 * Host and library share the process's own allocator (malloc/free), so whichever side drops the
 * last reference frees the block. The counts are not atomic: strings are used on the thread that
 * calls DoUpdate only.
 */
#ifndef ALLSQL_PLUGIN_HOST_STRING_H
#define ALLSQL_PLUGIN_HOST_STRING_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef char* AllsqlString;

/* Offsets of the two counts from the first character, and the size of the prefix. */
#define ALLSQL_STRING_REFCOUNT_OFFSET (-8)
#define ALLSQL_STRING_LENGTH_OFFSET (-4)
#define ALLSQL_STRING_PREFIX_SIZE 8
#define ALLSQL_STRING_CONSTANT_REFCOUNT (-1)

/* The block size a string of `length` characters needs: prefix, characters and NUL. */
static inline size_t AllsqlStringBlockSize(int32_t length) {
  return (size_t)ALLSQL_STRING_PREFIX_SIZE + (size_t)length + 1u;
}

static inline int32_t AllsqlStringReadCount_(const char* s, int offset) {
  int32_t value;
  memcpy(&value, s + offset, sizeof value);
  return value;
}

static inline void AllsqlStringWriteCount_(char* s, int offset, int32_t value) {
  memcpy(s + offset, &value, sizeof value);
}

/* The character count; 0 for the null string. */
static inline int32_t AllsqlStringLength(const char* s) {
  return s ? AllsqlStringReadCount_(s, ALLSQL_STRING_LENGTH_OFFSET) : 0;
}

/* The reference count; 0 for the null string, -1 for a constant. */
static inline int32_t AllsqlStringRefCount(const char* s) {
  return s ? AllsqlStringReadCount_(s, ALLSQL_STRING_REFCOUNT_OFFSET) : 0;
}

/* A new string with one reference holding a copy of `length` bytes (embedded NULs allowed).
 * An empty or negative length gives the null string; NULL when memory runs out. */
static inline AllsqlString AllsqlStringNew(const char* bytes, int32_t length) {
  char* block;
  char* s;
  if (length <= 0) return NULL;
  block = (char*)malloc(AllsqlStringBlockSize(length));
  if (!block) return NULL;
  s = block + ALLSQL_STRING_PREFIX_SIZE;
  AllsqlStringWriteCount_(s, ALLSQL_STRING_REFCOUNT_OFFSET, 1);
  AllsqlStringWriteCount_(s, ALLSQL_STRING_LENGTH_OFFSET, length);
  memcpy(s, bytes, (size_t)length);
  s[length] = '\0';
  return s;
}

/* Lays a constant (reference count -1) out in caller-owned storage of `block_size` bytes, which
 * must outlive every use of the string. Returns NULL when the storage is too small or the text
 * is empty. */
static inline AllsqlString AllsqlStringInitConstant(void* block, size_t block_size,
                                                    const char* bytes, int32_t length) {
  char* s;
  if (length <= 0 || block_size < AllsqlStringBlockSize(length)) return NULL;
  s = (char*)block + ALLSQL_STRING_PREFIX_SIZE;
  AllsqlStringWriteCount_(s, ALLSQL_STRING_REFCOUNT_OFFSET, ALLSQL_STRING_CONSTANT_REFCOUNT);
  AllsqlStringWriteCount_(s, ALLSQL_STRING_LENGTH_OFFSET, length);
  memcpy(s, bytes, (size_t)length);
  s[length] = '\0';
  return s;
}

/* Takes one more reference; constants and the null string are left alone. */
static inline void AllsqlStringAddRef(AllsqlString s) {
  int32_t count;
  if (!s) return;
  count = AllsqlStringReadCount_(s, ALLSQL_STRING_REFCOUNT_OFFSET);
  if (count > 0 && count < INT32_MAX)
    AllsqlStringWriteCount_(s, ALLSQL_STRING_REFCOUNT_OFFSET, count + 1);
}

/* Drops one reference and frees the block with the last one; constants are never freed. */
static inline void AllsqlStringRelease(AllsqlString s) {
  int32_t count;
  if (!s) return;
  count = AllsqlStringReadCount_(s, ALLSQL_STRING_REFCOUNT_OFFSET);
  if (count <= 0) return;
  if (count == 1) {
    free(s - ALLSQL_STRING_PREFIX_SIZE);
    return;
  }
  AllsqlStringWriteCount_(s, ALLSQL_STRING_REFCOUNT_OFFSET, count - 1);
}

/* The entry point the library exports. Arguments in order: 1 not read; 2 and 3 stored 32-bit
 * integers; 4, 5 and 6 stored host strings (a reference is taken for the call and dropped before
 * return); 7 a Boolean in the low byte, stored; 8 the database directory, read only; 9 a stored
 * host string, read only. No result. */
typedef void (*AllsqlDoUpdateFunction)(int32_t, int32_t, int32_t, AllsqlString, AllsqlString,
                                       AllsqlString, int32_t, AllsqlString, AllsqlString);

#ifdef __cplusplus
}
#endif

#endif /* ALLSQL_PLUGIN_HOST_STRING_H */
