// A host that loads the library, starts its log writer and a task thread,
// unloads it and goes on working, as a product process may. The library's
// threads outlive the unload, so the library must stay in memory: if it did
// not, they would run unmapped code and take the host down. Exit status 0
// when it stayed, 5 when the unload took it away.
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>

#ifdef _WIN32
#include <windows.h>
typedef HMODULE Library;
static Library Load(const char* path) { return LoadLibraryA(path); }
static void* Find(Library library, const char* name) {
  return (void*)(intptr_t)GetProcAddress(library, name);
}
static void Unload(Library library) { FreeLibrary(library); }
static bool StillLoaded(const char* path) { return GetModuleHandleA(path) != NULL; }
static void Pause(int milliseconds) { Sleep((DWORD)milliseconds); }
#else
#include <dlfcn.h>
#include <time.h>
typedef void* Library;
static Library Load(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void* Find(Library library, const char* name) { return dlsym(library, name); }
static void Unload(Library library) { dlclose(library); }
static bool StillLoaded(const char* path) {
  Library library = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (library != NULL) dlclose(library);
  return library != NULL;
}
static void Pause(int milliseconds) {
  const struct timespec wait = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  nanosleep(&wait, NULL);
}
#endif

typedef bool (*LogInit)(const char*, const char*, int);
typedef bool (*LogWrite)(const char*, int, const char*, const char*);
typedef int64_t (*ThreadStart)(const char*);

// Arguments: the library's path and a folder for its log ("/"-terminated).
int main(int argc, char** argv) {
  if (argc != 3) return 2;
  for (int round = 0; round < 3; ++round) {
    Library library = Load(argv[1]);
    LogInit log_init = (LogInit)(intptr_t)Find(library, "jx_log_init");
    LogWrite log_write = (LogWrite)(intptr_t)Find(library, "jx_log_write_log");
    ThreadStart thread_start = (ThreadStart)(intptr_t)Find(library, "jx_thread_start");
    if (!log_init || !log_write || !thread_start) return 3;
    if (!log_init(argv[2], "unload", 256) || thread_start("unload") == 0) return 4;
    for (int i = 0; i < 100; ++i) log_write("host", 1024, "main", "before the unload");
    Unload(library);
    if (!StillLoaded(argv[1])) return 5;  // unmapped under the library's own threads
    Pause(300);                           // the writer and the worker go on meanwhile
  }
  puts("still running after three unloads");
  return 0;
}
