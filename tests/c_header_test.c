/* Every public header compiles as C, and the exported calls link from C.
   The static assertions pin the layouts that the 32-bit ABI fixes. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "base/jx_config.h"
#include "base/jx_file.h"
#include "base/jx_json.h"
#include "base/jx_lock.h"
#include "base/jx_log.h"
#include "base/jx_memory.h"
#include "base/jx_string.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

_Static_assert(sizeof(bool) == 1, "bool results are one byte");
/* On i686 a pair result is one 64-bit value: the first field in the low half. */
_Static_assert(sizeof(void*) != 4 || sizeof(jx_ini_entries) == 8, "pair result is 8 bytes");

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

int main(void) {
  char path[] = "C:\\data\\\\app\\.\\logs\\";
  unsigned int length = fix_file_path(path, 0);
  jx_lock_t lock = jx_lock_create();
  char* block = (char*)jx_malloc(16, true);
  int ok = length == 17 && strcmp(path, "C:/data/app/logs/") == 0 && block != NULL &&
           block[15] == 0 && jx_clock_tick_nanoseconds() > 0 && JsonWorksFromC() &&
           !jx_log_write_log("jx", JX_LOG_FATAL, "c", "refused before set-up") &&
           jx_log_min_level() == JX_LOG_INFO;
  jx_lock_lock(lock);
  jx_lock_unlock(lock);
  jx_lock_destory(lock);
  jx_free(block);
  if (!ok) {
    puts("c_header_test: FAILED");
    return 1;
  }
  puts("c_header_test: ok");
  return 0;
}
