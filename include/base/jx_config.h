// Application configuration: the INI reader, the application's root folder
// and configuration file, and the toolkit's version.
//
// The host names its root folder and configuration file once, at start-up,
// with jx_set_app_config; until it does, the root is the user's
// application-data folder and the configuration file "app_base_config.ini"
// in it. The log reads its settings from that file when it is set up (see
// jx_log_init in jx_log.h), so set the configuration before setting up the
// log.
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

// The application's root folder and configuration file, as returned by
// jx_get_app_config. On 32-bit Windows the record is one 64-bit value, the
// root in its low half and the configuration path in its high half.
typedef struct jx_app_config {
  char* root;         // ends in "/"; "" when no folder can be named
  char* config_path;  // the configuration file
} jx_app_config;

// jx_set_app_config
//
// Sets the application's root folder and configuration file path. Only the
// first call in the life of the process has an effect, even when it passes
// empty texts; later calls are ignored. A null text counts as "". A root is
// normalised (see fix_file_path) and given exactly one trailing "/"; a
// configuration path is normalised. An empty text (or one that normalises to
// "") leaves that value to its default (see jx_get_app_config).
//
// Call it once at start-up, before other threads use the toolkit and before
// jx_log_init. Safe from any thread all the same.
JX_API void jx_set_app_config(const char* root, const char* config_path);

// jx_get_app_config
//
// The effective root folder and configuration file path. The root is the
// one set by jx_set_app_config, else the user's application-data folder
// (see jx_get_os_user_cache_path), else "" when the platform cannot name it.
// The configuration path is the one set, else the root followed by
// "app_base_config.ini" (a bare file name, relative to the working folder,
// when the root is ""). Defaults are worked out on every call, never stored.
//
// Both texts are new NUL-terminated buffers owned by the caller; release
// each with jx_free. Null only when memory for them runs out. Safe from any
// thread.
JX_API jx_app_config jx_get_app_config(void);

// jx_version
//
// The toolkit's version, "2.7.1.08091622". The text is static: the same
// pointer on every call, never to be released. Safe from any thread.
JX_API const char* jx_version(void);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_CONFIG_H_
