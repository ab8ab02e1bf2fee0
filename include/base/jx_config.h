// Application configuration: the INI reader.
#ifndef JX_BASE_JX_CONFIG_H_
#define JX_BASE_JX_CONFIG_H_

#include "base/jx_api.h"
#include "base/jx_memory.h"

JX_EXTERN_C_BEGIN

// One key of an INI file with its section. All three texts are
// NUL-terminated; `section` is "" for keys before the first section header,
// `key` is never empty, `value` may be.
typedef struct jx_ini_entry {
  char* section;
  char* key;
  char* value;
} jx_ini_entry;

// The entries of an INI file in file order, repeated keys included.
typedef struct jx_ini_entries {
  jx_ini_entry* entries;
  uint32_t count;
} jx_ini_entries;

// jx_file_ini_read_all
//
// Reads the whole INI file at `path`. Lines end at a line feed (a carriage
// return before it is dropped); a leading UTF-8 byte order mark is skipped.
// After trimming white space: empty lines and lines starting with ";" are
// ignored; "[name]" starts section "name" (without "]" the rest of the line);
// "key = value" is an entry split at the first "=", both sides trimmed, with
// no comments, quoting or escapes inside values; other lines are ignored.
//
// The array and every text are allocated from `pool` and live until the pool
// is destroyed. Returns {null, 0} when the file cannot be opened, the pool is
// not valid, or the file holds no entry. A read error ends the file early.
JX_API jx_ini_entries jx_file_ini_read_all(const char* path, jx_mem_pool_t pool);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_CONFIG_H_
