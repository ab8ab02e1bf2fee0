// Steps of the file calls that the folder, console and log calls share, and
// what the layers above the toolkit need of files without the OS layer.
// Apart from PreparePath they take prepared paths (normalised, not empty) and
// use them as they are: an entry found by a folder walk then reaches exactly
// the entry it names, even a Linux name holding "\" that normalising again
// would split.
#ifndef JX_BASE_JX_FILE_INTERNAL_H_
#define JX_BASE_JX_FILE_INTERNAL_H_

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace jx {

struct FileCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
// An open stream, closed when it goes out of scope on every path.
using ScopedFile = std::unique_ptr<std::FILE, FileCloser>;

// The normalised copy of a path text; "" for null or when nothing is left.
std::string PreparePath(const char* path);

// True when `path` names an existing entry that is not a folder.
bool IsFileAt(const std::string& path);

// What is at `path`, following links.
struct EntryInfo {
  bool exists;
  bool is_plain;  // a plain file: not a folder, FIFO, device or socket
  uint64_t size;  // of a file; 0 for anything else
};
EntryInfo StatEntry(const std::string& path);

// True when the entry at `path` is itself a link or reparse point.
bool IsLinkAt(const std::string& path);

// True when no file is at `path` afterwards; an entry that is not a file
// (missing, or a folder) is left alone and counts as success.
bool RemoveFileAt(const std::string& path);

// Opens `path` with `mode` (a validated C runtime mode) only when it is a plain
// file: the test is made on the opened handle, so the entry cannot be swapped
// for a FIFO or device (which could block a read or never end) in between.
// Puts the size the handle reports in `*size` when `size` is not null. With
// `through_link` false a final link fails the open (the log never writes
// through one). Null when the file cannot be opened or is not a plain file.
ScopedFile OpenPlainFile(const std::string& path, uint64_t* size, const char* mode = "rb",
                         bool through_link = true);

// A plain file open for reading alone, read by its system handle: each Read
// is one system call, with no stream or buffer in between. Closed when it
// goes out of scope.
class HandleFile {
 public:
  HandleFile() = default;
  ~HandleFile() { Close(); }
  HandleFile(HandleFile&& other) noexcept;
  HandleFile& operator=(HandleFile&& other) noexcept;
  HandleFile(const HandleFile&) = delete;
  HandleFile& operator=(const HandleFile&) = delete;

  // Opens `path` as OpenPlainFile does with mode "rb", closing what was open
  // before; puts the size at open time in `*size`. False when it cannot be
  // opened or is not a plain file.
  bool Open(const std::string& path, uint64_t* size);
  // Reads at most `size` (> 0) bytes: `*got` is 0 at the end of the file, and may
  // fall short of `size` before it. False on a read error or when not open.
  bool Read(void* buffer, uint32_t size, uint32_t* got);
  void Close();

 private:
  intptr_t handle_ = -1;
};

// The entries jx_folder_enumerate_all lists for `folder` and `depth`, in the
// same order and form; empty where it lists none.
std::vector<std::string> ListFolder(const char* folder, int depth);

// Streams the rest of `source` into `target`: the byte count, or -1 after a
// read or write error.
int64_t CopyStream(std::FILE* source, std::FILE* target);

// Copies the plain file `from` into a new or emptied file `to`, without
// holding it in memory. True when more than 0 bytes were copied and all of
// them arrived; a source that is empty or cannot be read still leaves an
// empty target.
bool CopyFileAt(const std::string& from, const std::string& to);

// Makes the file at `path` appear whole or not at all: `fill` writes it under
// the temporary name "<path>.partial" (one left by a crash is removed first;
// nothing is written through a link), which is put on the disk and then
// renamed to `path`. An existing entry at `path` is replaced only when
// `replace`. False, with no temporary file left, when `fill` or a step fails;
// then `why`, when given, names the step and the system's reason.
bool WriteWholeFile(const std::string& path, const std::function<bool(std::FILE*)>& fill,
                    bool replace, std::string* why = nullptr);

}  // namespace jx

#endif  // JX_BASE_JX_FILE_INTERNAL_H_
