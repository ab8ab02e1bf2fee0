/* Every public header compiles as C, and the exported calls link from C.
   The static assertions pin the layouts that the 32-bit ABI fixes. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "base/jx_async.h"
#include "base/jx_config.h"
#include "base/jx_debug.h"
#include "base/jx_file.h"
#include "base/jx_folder.h"
#include "base/jx_json.h"
#include "base/jx_lock.h"
#include "base/jx_log.h"
#include "base/jx_memory.h"
#include "base/jx_string.h"
#include "base/jx_system.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

_Static_assert(sizeof(bool) == 1, "bool results are one byte");
/* On i686 a pair result is one 64-bit value: the first field in the low half. */
_Static_assert(sizeof(void*) != 4 || sizeof(jx_ini_entries) == 8, "pair result is 8 bytes");
_Static_assert(sizeof(void*) != 4 || sizeof(jx_app_config) == 8, "jx_app_config is 8 bytes");
_Static_assert(offsetof(jx_app_config, root) == 0, "the root comes first");

/* On 32-bit x86 the listing is one 64-bit result: array pointer low, count high. */
_Static_assert(sizeof(void*) != 4 || sizeof(jx_folder_listing) == 8,
               "jx_folder_listing is one 64-bit value on i686");
_Static_assert(offsetof(jx_folder_listing, entries) == 0, "the array comes first");

/* The Windows layout of the file information record, 32-bit included: the
   64-bit times are 8-byte aligned after the 32-bit size. */
#ifdef _WIN32
_Static_assert(sizeof(jx_file_info) == 32, "jx_file_info is 32 bytes on Windows");
_Static_assert(offsetof(jx_file_info, size) == 0, "size at 0");
_Static_assert(offsetof(jx_file_info, access_time) == 8, "access_time at 8");
_Static_assert(offsetof(jx_file_info, write_time) == 16, "write_time at 16");
_Static_assert(offsetof(jx_file_info, create_time) == 24, "create_time at 24");
#endif

/* The parse error record: four 32-bit fields on 32-bit targets. */
_Static_assert(sizeof(void*) != 4 || sizeof(jx_json_parse_error) == 16, "parse error: 16 bytes");
_Static_assert(sizeof(void*) != 4 || offsetof(jx_json_parse_error, code) == 0, "code at 0");
_Static_assert(sizeof(void*) != 4 || offsetof(jx_json_parse_error, offset) == 4, "offset at 4");
_Static_assert(sizeof(void*) != 4 || offsetof(jx_json_parse_error, message) == 8, "message at 8");
_Static_assert(sizeof(void*) != 4 || offsetof(jx_json_parse_error, message_length) == 12,
               "message_length at 12");

/* A document parsed, changed by path and written back from C. */
static int JsonWorksFromC(void) {
  jx_json_t doc = jx_json_build();
  jx_json_parse_error err;
  char* text = NULL;
  uint32_t length = 0;
  int ok = jx_json_parse(doc, "{\"a\":[1]}", &err) && jx_json_set_cstr(doc, "a:1", "x") &&
           jx_json_to_jstr(doc, &text, &length) && length == 13 &&
           memcmp(text, "{\"a\":[1,\"x\"]}", 13) == 0;
  jx_free(text);
  jx_json_destroy(doc);
  return ok;
}

/* The configuration and log names as a C host reads them, before set-up. */
static int ConfigWorksFromC(void) {
  jx_app_config config = jx_get_app_config();
  char* module = jx_log_mod();
  char* folder = jx_log_path();
  int ok = strcmp(jx_version(), "2.7.1.08091622") == 0 && config.root != NULL &&
           config.config_path != NULL && strcmp(module, "app") == 0 &&
           strncmp(folder, config.root, strlen(config.root)) == 0;
  jx_free(config.root);
  jx_free(config.config_path);
  jx_free(module);
  jx_free(folder);
  return ok;
}
_Static_assert(offsetof(jx_task_callback, user_data) == 0 &&
                   offsetof(jx_task_callback, func) == sizeof(void*) &&
                   sizeof(jx_task_callback) == 2 * sizeof(void*),
               "a task callback is user data, then the function");

static void Count(void* counter) { ++*(int*)counter; }

int main(void) {
  char path[] = "C:\\data\\\\app\\.\\logs\\";
  unsigned int length = fix_file_path(path, 0);
  int calls = 0;
  const jx_task_callback count = {&calls, Count};
  jx_execute(&count, -1, "no such worker");
  jx_lock_t lock = jx_lock_create();
  char* block = (char*)jx_malloc(16, true);
  jx_mem_pool_t pool = jx_mem_pool_create(0);
  jx_folder_listing listing = jx_folder_enumerate_all(0, ".", pool);
  char* folder = NULL;
  uint32_t folder_length = 0;
  int ok = listing.entries == NULL && listing.count == 0 && !jx_folder_exist("") &&
           jx_name_file_read(NULL, path, 1) == -1 && length == 17 &&
           strcmp(path, "C:/data/app/logs/") == 0 && block != NULL && block[15] == 0 &&
           jx_clock_tick_nanoseconds() > 0 && JsonWorksFromC() && ConfigWorksFromC() &&
           !jx_log_write_log("jx", JX_LOG_FATAL, "c", "refused before set-up") &&
           jx_log_min_level() == JX_LOG_INFO &&
           jx_get_os_user_root_path(&folder, &folder_length) && folder[folder_length - 1] == '/' &&
           jx_process_is_alive(jx_get_current_process_id()) && calls == 1;
  jx_lock_lock(lock);
  jx_lock_unlock(lock);
  jx_lock_destory(lock);
  jx_free(block);
  jx_mem_pool_destory(pool);
  jx_trace_printf("%d", 1);
  jx_free(folder);
  if (!ok) {
    puts("c_header_test: FAILED");
    return 1;
  }
  puts("c_header_test: ok");
  return 0;
}
