// The internal interface between the portable toolkit and the operating
// system. Each family's calls are implemented once in posix/ and once in
// win/ with the same file names; CMake picks the set, so portable code never
// tests the platform. Texts are UTF-8; conversion to UTF-16 happens inside the
// Windows files.
//
// A call that can fail returns true on success. A value it also produces
// comes back through a pointer argument, to be used only after a success.
// After a failure, LastError() tells why. Values that cannot fail, and texts
// where "" means "no answer", come back as results.
#ifndef JX_PLATFORM_JX_OS_H_
#define JX_PLATFORM_JX_OS_H_

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace jx::os {

// --- errors (os_error.cpp) ---
// The system's text for the calling thread's last failure, in UTF-8 without a
// final full stop; meaningful right after a call here returned false.
std::string LastError();

// --- time (os_time.cpp) ---
// Monotonic clock in nanoseconds.
int64_t MonotonicNanoseconds();
// Wall clock in 100 ns units since 1970-01-01 UTC.
int64_t RealTime100Nanoseconds();
// Thread-safe local-time breakdown. On failure errno holds the C error
// number too, which the toolkit reports.
bool LocalTime(std::tm* out, int64_t seconds);

// --- thread identity (os_thread.cpp) ---
int64_t ProcessId();
int64_t ThreadId();
// Names the calling thread; `name` is never null.
bool SetThreadName(const char* name);
// Sleeps at least `milliseconds` (> 0).
void SleepMilliseconds(int milliseconds);
// Keeps this library in memory until the process ends, whatever the host
// unloads: called before a thread of ours starts, since it runs the library's
// code for as long as the process lives. The POSIX shared library is linked
// to stay resident (-z nodelete), which leaves nothing to do at run time.
void KeepLibraryLoaded();

// --- files (os_file.cpp) ---
// Paths arrive normalised and non-empty; modes arrive validated.

// The length of the start of `path` that the toolkit's normaliser keeps as
// it is (its separators become "/"): on Windows the "\\?\" prefix and the
// "\\" of a network (UNC) path; 0 elsewhere.
size_t KeptPathPrefix(std::string_view path);

// What OpenFile does with the entry at the end of the path.
enum class OpenRule {
  kFollowLinks,  // as the C runtime's fopen
  kNoFinalLink,  // fails when the entry is a link or reparse point, so nothing
                 // is read or written through one
  kCreateNew,    // "w" modes only: makes a new file, failing when any entry
                 // (a link too) is there already
};
// Opens without blocking on a FIFO or device that has no peer; reads and
// writes block normally afterwards. Never opens a folder.
bool OpenFile(const std::string& path, const char* mode, std::FILE** stream,
              OpenRule rule = OpenRule::kFollowLinks);
// As OpenFile, for a plain file only: a folder, FIFO, device or socket fails
// the open. One status call on the opened handle both tests the entry and
// gives `*size`, its size at open time, so no one can swap the entry between
// the test and the read.
bool OpenPlainFile(const std::string& path, const char* mode, std::FILE** stream, uint64_t* size,
                   OpenRule rule = OpenRule::kFollowLinks);
// A plain file open for reading alone, without a C stream: a descriptor on
// POSIX, a HANDLE on Windows. Each read is one system call.
using FileHandle = intptr_t;
// Opens `path` for reading, through links, by the rules of OpenPlainFile.
bool OpenPlainForReading(const std::string& path, FileHandle* file, uint64_t* size);
// One read of at most `size` (> 0) bytes at the handle's position into
// `buffer`: `*got` is 0 at the end of the file, and may fall short of `size`
// before it.
bool ReadHandle(FileHandle file, void* buffer, uint32_t size, uint32_t* got);
void CloseFileHandle(FileHandle file);
// Reopens `stream` itself on `path`; on failure the stream is closed.
bool ReopenFile(const std::string& path, const char* mode, std::FILE* stream);

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
// Writes the stream's buffer and has the system put the file's data on the
// disk, so a rename that follows never names a file whose data a power loss
// could still take.
bool FlushToDisk(std::FILE* stream);
bool RemoveFile(const std::string& path);
bool FileDescriptor(std::FILE* stream, int* fd);
bool DuplicateDescriptor(int fd, int* duplicate);
// Makes `fd2` a copy of `fd1`.
bool DuplicateDescriptorTo(int fd1, int fd2);

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
// Moves a file or folder; never replaces an existing entry.
bool RenamePath(const std::string& from, const std::string& to);
// Moves the file `from` over `to` in one step, replacing a file (or the link
// itself, never its target) that is there.
bool ReplacePath(const std::string& from, const std::string& to);

// --- debug output and console redirection (os_debug.cpp) ---
// Hands a text to an attached debugger; nothing where the platform has none.
void DebuggerOutput(const std::string& text);
// Points the standard output and error streams at the end of the file at
// `path` (normalised, non-empty), and back to the console.
bool RedirectConsole(const std::string& path);
bool ResumeConsole();

// --- system and processes (os_system.cpp) ---
// Texts come back as the platform gives them, in UTF-8 and not normalised;
// "" when it has no answer.
std::string CurrentThreadName();
std::string WorkingDirectory();
// Failures are ignored.
void ChangeWorkingDirectory(const std::string& path);

enum class UserFolder { kProfile, kLocalData, kRoamingData };
std::string UserFolderPath(UserFolder folder);
// Absolute path of the running program's executable file.
std::string ExecutablePath();
// The process's own arguments, split by the platform's rules; empty when the
// command line cannot be read.
std::vector<std::string> CommandLineArguments();

struct KernelVersion {
  int major;
  int minor;
  int build;
};
bool ReadKernelVersion(KernelVersion* version);

struct MemoryStatus {
  uint64_t total_bytes;
  uint64_t available_bytes;
};
bool ReadGlobalMemory(MemoryStatus* status);

// Process ids arrive checked: 0 < pid <= INT32_MAX.
// Committed private memory of the process, in bytes.
bool ReadProcessCommittedMemory(int64_t pid, uint64_t* bytes);
bool ProcessAlive(int64_t pid);
// Starts args[0] with `args` (never empty) and does not wait.
bool LaunchProcess(const std::vector<std::string>& args, int64_t* pid);
// Ends the process and waits up to kEndWaitMilliseconds for it to be gone.
// False only when the process cannot be reached.
constexpr int kEndWaitMilliseconds = 2000;
bool EndProcess(int64_t pid, int exit_code);
// Returns only when the process could not be ended.
void EndSelf(int exit_code);

}  // namespace jx::os

#endif  // JX_PLATFORM_JX_OS_H_
