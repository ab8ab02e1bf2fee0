// A host that loads the library, starts its log writer and a task thread and
// unloads it, as a product process may. Those threads run the library's code
// for the rest of the process, so the library must stay in memory: exit
// status 0 when it did, 1 when the unload took it away.
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
typedef HMODULE Library;
static Library Load(const char* path) { return LoadLibraryA(path); }
static void* Find(Library library, const char* name) {
  return (void*)(intptr_t)GetProcAddress(library, name);
}
static void Unload(Library library) { FreeLibrary(library); }
static bool StillLoaded(const char* path) { return GetModuleHandleA(path) != NULL; }
#else
#include <dlfcn.h>
typedef void* Library;
static Library Load(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void* Find(Library library, const char* name) { return dlsym(library, name); }
static void Unload(Library library) { dlclose(library); }
static bool StillLoaded(const char* path) {
  Library library = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (library != NULL) dlclose(library);
  return library != NULL;
}
#endif

typedef bool (*LogInit)(const char*, const char*, int);
typedef int64_t (*ThreadStart)(const char*);

// Arguments: the library's path and a folder for its log ("/"-terminated).
int main(int argc, char** argv) {
  Library library = argc == 3 ? Load(argv[1]) : NULL;
  LogInit log_init = library ? (LogInit)(intptr_t)Find(library, "jx_log_init") : NULL;
  ThreadStart thread_start =
      library ? (ThreadStart)(intptr_t)Find(library, "jx_thread_start") : NULL;
  if (!log_init || !thread_start || !log_init(argv[2], "unload", 256) || thread_start("w") == 0) {
    return 2;
  }
  Unload(library);
  return StillLoaded(argv[1]) ? 0 : 1;
}
