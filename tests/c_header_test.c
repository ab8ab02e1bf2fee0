// Every public header compiles as C, and the exported calls link from C.
// The static assertions pin the layouts that the 32-bit ABI fixes.
#include <stdint.h>
#include <string.h>

#include "base/jx_async.h"
#include "base/jx_config.h"
#include "base/jx_debug.h"
#include "base/jx_file.h"
#include "base/jx_folder.h"
#include "base/jx_json.h"
#include "base/jx_lock.h"
#include "base/jx_log.h"
#include "base/jx_md5.h"
#include "base/jx_memory.h"
#include "base/jx_string.h"
#include "base/jx_system.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

// On i686 a pair result is one 64-bit value, the first field in the low half,
// and the parse error record is four 32-bit fields.
_Static_assert(sizeof(void*) != 4 ||
                   (sizeof(jx_ini_entries) == 8 && sizeof(jx_app_config) == 8 &&
                    sizeof(jx_folder_listing) == 8 && sizeof(jx_json_parse_error) == 16 &&
                    offsetof(jx_json_parse_error, offset) == 4 &&
                    offsetof(jx_json_parse_error, message) == 8 &&
                    offsetof(jx_json_parse_error, message_length) == 12),
               "32-bit layouts");
_Static_assert(sizeof(bool) == 1 && offsetof(jx_app_config, root) == 0 &&
                   offsetof(jx_folder_listing, entries) == 0 &&
                   offsetof(jx_task_callback, func) == sizeof(void*) &&
                   sizeof(jx_task_callback) == 2 * sizeof(void*),
               "one-byte bools; pointers first; a task callback is user data, then the function");
#ifdef _WIN32
// The 64-bit times are 8-byte aligned after the 32-bit size, 32-bit included.
_Static_assert(sizeof(jx_file_info) == 32 && offsetof(jx_file_info, access_time) == 8 &&
                   offsetof(jx_file_info, write_time) == 16 &&
                   offsetof(jx_file_info, create_time) == 24,
               "jx_file_info layout on Windows");
#endif

static void Count(void* counter) { ++*(int*)counter; }

// A pair result called through a plain function pointer, as a host that looks
// the export up calls it. On i686 Windows the same call typed as returning one
// 64-bit value must find the pair in EDX:EAX, the first field in the low half.
static int PairResultArrives(void) {
  jx_app_config (*get)(void) = &jx_get_app_config;
  const jx_app_config config = get();
  int ok = config.root != NULL && config.config_path != NULL &&
           strstr(config.config_path, "app_base_config.ini") != NULL;
#if defined(_WIN32) && !defined(_WIN64)
  uint64_t (*const get_packed)(void) = (uint64_t(*)(void))(void (*)(void))get;
  const uint64_t packed = get_packed();
  jx_app_config halves;
  memcpy(&halves, &packed, sizeof(halves));
  ok = ok && (uintptr_t)halves.root == (uint32_t)packed && strcmp(halves.root, config.root) == 0 &&
       strcmp(halves.config_path, config.config_path) == 0;
  jx_free(halves.root);
  jx_free(halves.config_path);
#endif
  jx_free(config.root);
  jx_free(config.config_path);
  return ok;
}

int main(void) {
  int calls = 0;
  const jx_task_callback count = {&calls, Count};
  jx_execute(&count, -1, "no such worker");  // runs it at once
  const int ok = strcmp(jx_version(), "2.7.1.08091622") == 0 && !jx_folder_exist("") &&
                 jx_name_file_read(NULL, "x", 1) == -1 && fix_file_path(NULL, 0) == 0 &&
                 jx_clock_tick_nanoseconds() > 0 && jx_md5_string("", 0, NULL, NULL) == 0 &&
                 jx_json_type(NULL) == JX_JSON_NULL && jx_log_min_level() == JX_LOG_INFO &&
                 jx_process_is_alive(jx_get_current_process_id()) && calls == 1 &&
                 PairResultArrives();
  return ok ? 0 : 1;
}
