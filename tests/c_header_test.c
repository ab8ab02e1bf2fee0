/* Every public header compiles as C, and the exported calls link from C.
   The static assertions pin the layouts that the 32-bit ABI fixes. */
#include <stdio.h>
#include <string.h>

#include "base/jx_config.h"
#include "base/jx_file.h"
#include "base/jx_lock.h"
#include "base/jx_memory.h"
#include "base/jx_string.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

_Static_assert(sizeof(bool) == 1, "bool results are one byte");
/* On i686 a pair result is one 64-bit value: the first field in the low half. */
_Static_assert(sizeof(void*) != 4 || sizeof(jx_ini_entries) == 8, "pair result is 8 bytes");

int main(void) {
  char path[] = "C:\\data\\\\app\\.\\logs\\";
  unsigned int length = fix_file_path(path, 0);
  jx_lock_t lock = jx_lock_create();
  char* block = (char*)jx_malloc(16, true);
  int ok = length == 17 && strcmp(path, "C:/data/app/logs/") == 0 && block != NULL &&
           block[15] == 0 && jx_clock_tick_nanoseconds() > 0;
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
