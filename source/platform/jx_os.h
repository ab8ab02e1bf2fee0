// The internal interface between the portable toolkit and the operating
// system. Each family's calls are implemented once in posix/ and once in
// win/ with the same file names; CMake picks the set, so portable code never
// tests the platform. Texts are UTF-8; conversion to UTF-16 happens inside the
// Windows files.
#ifndef JX_PLATFORM_JX_OS_H_
#define JX_PLATFORM_JX_OS_H_

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace jx::os {

// --- time (os_time.cpp) ---
// Monotonic clock in nanoseconds.
int64_t MonotonicNanoseconds();
// Wall clock in 100 ns units since 1970-01-01 UTC.
int64_t RealTime100Nanoseconds();
// Thread-safe local-time breakdown; 0 or an error number.
int LocalTime(std::tm* out, int64_t seconds);

// --- thread identity (os_thread.cpp) ---
int64_t ProcessId();
int64_t ThreadId();
// Names the calling thread; `name` is never null.
bool SetThreadName(const char* name);
// Sleeps at least `milliseconds` (> 0).
void SleepMilliseconds(int milliseconds);

// --- files (os_file.cpp) ---
// Paths arrive normalised and non-empty; modes arrive validated.
std::FILE* OpenFile(const std::string& path, const char* mode);
std::FILE* ReopenFile(const std::string& path, const char* mode, std::FILE* stream);

struct PathInfo {
  bool is_directory;
  bool is_regular;  // a plain file: not a folder, FIFO, device or socket
  uint64_t size;
  int64_t access_time;  // seconds since 1970, UTC
  int64_t write_time;
  int64_t create_time;
};
// False when the path's attributes cannot be read (missing, no access).
bool StatPath(const std::string& path, PathInfo* info);
// 0 on success, like the C runtime's remove.
int RemoveFile(const std::string& path);
int FileDescriptor(std::FILE* stream);
int DuplicateDescriptor(int fd);
int DuplicateDescriptorTo(int fd1, int fd2);

// --- folders (os_folder.cpp) ---
// Paths arrive normalised and non-empty; a folder path may end in "/".
enum class EntryKind {
  kFile,        // a regular file, or a link to one
  kFolder,      // a folder that is not a link: walks go into it
  kFolderLink,  // a link, junction or other reparse point to a folder: never entered
  kOther,       // FIFO, device, socket, broken link: listed and removable, never opened
};
struct FolderEntry {
  std::string name;
  EntryKind kind;
};
// The entries of `folder` (ending in "/") in the order the system yields
// them, without "." and "..". False when the folder cannot be read.
bool ReadFolder(const std::string& folder, std::vector<FolderEntry>* entries);
bool CreateFolder(const std::string& path);
// Removes an empty folder, or a link to a folder (the link itself).
bool RemoveFolder(const std::string& path);
// True when the entry at `path` is itself a link or reparse point.
bool IsLink(const std::string& path);
// Moves a file or folder; never replaces an existing entry. 0 on success.
int RenamePath(const std::string& from, const std::string& to);
// True when the open stream reads a regular file on disk (not a FIFO,
// device, socket or console).
bool IsDiskFile(std::FILE* stream);

// --- debug output and console redirection (os_debug.cpp) ---
// Hands a text to an attached debugger; nothing where the platform has none.
void DebuggerOutput(const std::string& text);
// Points the standard output and error streams at the end of the file at
// `path` (normalised, non-empty), and back to the console.
bool RedirectConsole(const std::string& path);
bool ResumeConsole();

}  // namespace jx::os

#endif  // JX_PLATFORM_JX_OS_H_
