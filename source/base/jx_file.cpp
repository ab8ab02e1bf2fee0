// Buffered file streams and single-file calls on UTF-8 paths.
#include "base/jx_file.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/jx_file_internal.h"
#include "base/jx_guard.h"
#include "base/jx_path_text.h"
#include "platform/jx_os.h"

namespace jx {

std::string PreparePath(const char* path) {
  return path != nullptr ? FixPathText(path) : std::string();
}

bool IsFileAt(const std::string& path) {
  os::PathInfo info{};
  return os::StatPath(path, &info) && !info.is_directory;
}

bool RemoveFileAt(const std::string& path) { return !IsFileAt(path) || os::RemoveFile(path); }

int64_t CopyStream(std::FILE* source, std::FILE* target) {
  std::vector<char> block(64 * 1024);
  int64_t copied = 0;
  for (;;) {
    const size_t got = std::fread(block.data(), 1, block.size(), source);
    if (std::fwrite(block.data(), 1, got, target) != got) return -1;
    copied += static_cast<int64_t>(got);
    if (got < block.size()) return std::ferror(source) != 0 ? -1 : copied;
  }
}

bool CopyFileAt(const std::string& from, const std::string& to) {
  const ScopedFile source = OpenPlainFile(from, nullptr);
  std::FILE* target = nullptr;
  if (!os::OpenFile(to, "wb+", &target)) return false;
  const int64_t copied = source != nullptr ? CopyStream(source.get(), target) : 0;
  return std::fclose(target) == 0 && copied > 0;
}

bool WriteWholeFile(const std::string& path, const std::function<bool(std::FILE*)>& fill,
                    bool replace, std::string* why) {
  const std::string partial = path + ".partial";
  // Read before the clean-up below replaces the system's error.
  const auto failed = [&](const std::string& step, bool has_reason) {
    if (why != nullptr) *why = has_reason ? step + ": " + os::LastError() : step;
    return false;
  };
  os::RemoveFile(partial);  // a link there goes, not its target
  std::FILE* file = nullptr;
  if (!os::OpenFile(partial, "wb", &file, os::OpenRule::kCreateNew)) {
    return failed("create " + partial, true);
  }
  bool written = fill(file) || failed("write " + partial, false);
  written = written && (os::FlushToDisk(file) || failed("flush " + partial, true));
  const bool closed = std::fclose(file) == 0;
  written = written && (closed || failed("close " + partial, false));
  written =
      written && ((replace ? os::ReplacePath(partial, path) : os::RenamePath(partial, path)) ||
                  failed("rename " + partial, true));
  if (!written) os::RemoveFile(partial);
  return written;
}

ScopedFile OpenPlainFile(const std::string& path, uint64_t* size, const char* mode,
                         bool through_link) {
  std::FILE* opened = nullptr;
  uint64_t opened_size = 0;
  const os::OpenRule rule = through_link ? os::OpenRule::kFollowLinks : os::OpenRule::kNoFinalLink;
  if (path.empty() || !os::OpenPlainFile(path, mode, &opened, &opened_size, rule)) return nullptr;
  if (size != nullptr) *size = opened_size;
  return ScopedFile(opened);
}

HandleFile::HandleFile(HandleFile&& other) noexcept
    : handle_(std::exchange(other.handle_, intptr_t{-1})) {}

HandleFile& HandleFile::operator=(HandleFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, intptr_t{-1});
  }
  return *this;
}

bool HandleFile::Open(const std::string& path, uint64_t* size) {
  Close();
  os::FileHandle opened = -1;
  if (path.empty() || !os::OpenPlainForReading(path, &opened, size)) return false;
  handle_ = opened;
  return true;
}

bool HandleFile::Read(void* buffer, uint32_t size, uint32_t* got) {
  *got = 0;
  return handle_ != -1 && size > 0 && os::ReadHandle(handle_, buffer, size, got);
}

void HandleFile::Close() {
  if (handle_ != -1) os::CloseFileHandle(std::exchange(handle_, intptr_t{-1}));
}

EntryInfo StatEntry(const std::string& path) {
  os::PathInfo info{};
  if (!os::StatPath(path, &info)) return EntryInfo{false, false, 0};
  return EntryInfo{true, info.is_regular, info.size};
}

bool IsLinkAt(const std::string& path) { return os::IsLink(path); }

}  // namespace jx

namespace {

using jx::PreparePath;

// A mode the C runtimes of both platforms accept: "r", "w" or "a", then any of
// "+", "b", "t" at most once each. Anything else would reach the Windows
// runtime's invalid-parameter handler.
bool IsValidMode(const char* mode) {
  if (mode == nullptr || mode[0] == '\0' || std::strchr("rwa", mode[0]) == nullptr) return false;
  std::string seen;
  for (const char* c = mode + 1; *c != '\0'; ++c) {
    if (std::strchr("+bt", *c) == nullptr || seen.find(*c) != std::string::npos) return false;
    seen.push_back(*c);
  }
  return true;
}

FILE* Stream(jx_file_t* file) { return file != nullptr ? *file : nullptr; }

// One open, one read or write (`transfer`), one close: the named-file calls.
// -1 when the file cannot be opened.
template <class Transfer>
int TransferNamedFile(const char* path, const char* mode, Transfer transfer) {
  jx_file_t file = jx_file_open(path, mode);
  if (file == nullptr) return -1;
  const int result = transfer(&file);
  jx_file_close(&file);
  return result;
}

}  // namespace

extern "C" {

jx_file_t jx_file_open(const char* path, const char* mode) {
  return jx::Guarded<jx_file_t>(nullptr, [&]() -> jx_file_t {
    const std::string prepared = PreparePath(path);
    if (prepared.empty() || !IsValidMode(mode)) return nullptr;
    std::FILE* stream = nullptr;
    return jx::os::OpenFile(prepared, mode, &stream) ? stream : nullptr;
  });
}

jx_file_t jx_file_ropen(const char* path, const char* mode, jx_file_t stream) {
  return jx::Guarded<jx_file_t>(nullptr, [&]() -> jx_file_t {
    const std::string prepared = PreparePath(path);
    if (prepared.empty() || !IsValidMode(mode) || stream == nullptr) return nullptr;
    return jx::os::ReopenFile(prepared, mode, stream) ? stream : nullptr;
  });
}

uint32_t jx_file_read(jx_file_t* file, void* buffer, uint32_t n) {
  FILE* stream = Stream(file);
  if (stream == nullptr || buffer == nullptr || n == 0) return 0;
  const size_t got = std::fread(buffer, 1, n, stream);
  if (got < n && !std::feof(stream)) return 0;  // a read error, not end of file
  return static_cast<uint32_t>(got);
}

int jx_file_write(jx_file_t* file, const void* buffer, int n) {
  FILE* stream = Stream(file);
  if (stream == nullptr || buffer == nullptr || n < 1) return 0;
  return std::fwrite(buffer, 1, static_cast<size_t>(n), stream) == static_cast<size_t>(n) ? n : 0;
}

bool jx_file_seek(jx_file_t* file, long offset, int whence) {
  FILE* stream = Stream(file);
  if (stream == nullptr || whence < SEEK_SET || whence > SEEK_END) return false;
  return std::fseek(stream, offset, whence) == 0;
}

long jx_file_tell(jx_file_t* file) {
  FILE* stream = Stream(file);
  if (stream == nullptr) return 0;
  const long position = std::ftell(stream);
  return position < 0 ? 0 : position;
}

long jx_file_size(jx_file_t* file) {
  FILE* stream = Stream(file);
  if (stream == nullptr) return 0;
  const long position = std::ftell(stream);
  if (position < 0 || std::fseek(stream, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(stream);
  std::fseek(stream, position, SEEK_SET);
  return size < 0 ? 0 : size;
}

bool jx_file_eof(jx_file_t* file) {
  FILE* stream = Stream(file);
  return stream == nullptr || std::feof(stream) != 0;
}

bool jx_file_error(jx_file_t* file) {
  FILE* stream = Stream(file);
  return stream == nullptr || std::ferror(stream) != 0;
}

bool jx_file_flush(jx_file_t* file) {
  FILE* stream = Stream(file);
  return stream != nullptr && std::fflush(stream) == 0;
}

bool jx_file_close(jx_file_t* file) {
  FILE* stream = Stream(file);
  return stream != nullptr && std::fclose(stream) == 0;
}

int jx_file_no(jx_file_t* file) {
  FILE* stream = Stream(file);
  int fd = -1;
  return stream != nullptr && jx::os::FileDescriptor(stream, &fd) ? fd : -1;
}

int jx_file_dup(int fd) {
  int duplicate = -1;
  return fd >= 0 && jx::os::DuplicateDescriptor(fd, &duplicate) ? duplicate : -1;
}

int jx_file_dup2(int fd1, int fd2) {
  return fd1 >= 0 && fd2 >= 0 && jx::os::DuplicateDescriptorTo(fd1, fd2) ? 0 : -1;
}

bool jx_file_exist(const char* path) {
  return jx::Guarded(false, [&] {
    const std::string prepared = PreparePath(path);
    return !prepared.empty() && jx::IsFileAt(prepared);
  });
}

bool jx_file_remove(const char* path) {
  return jx::Guarded(false, [&] {
    const std::string prepared = PreparePath(path);
    return !prepared.empty() && jx::RemoveFileAt(prepared);
  });
}

jx_file_info jx_file_get_info(const char* path) {
  return jx::Guarded(jx_file_info{}, [&] {
    const std::string prepared = PreparePath(path);
    jx::os::PathInfo info{};
    if (prepared.empty() || !jx::os::StatPath(prepared, &info)) return jx_file_info{};
    return jx_file_info{static_cast<uint32_t>(info.size), info.access_time, info.write_time,
                        info.create_time};
  });
}

int jx_name_file_read(const char* path, void* buffer, int size) {
  return TransferNamedFile(path, "rb", [&](jx_file_t* file) {
    return size < 1 ? -1
                    : static_cast<int>(jx_file_read(file, buffer, static_cast<uint32_t>(size)));
  });
}

int jx_name_file_write(const char* path, const void* buffer, int size) {
  return TransferNamedFile(path, "wb+",
                           [&](jx_file_t* file) { return jx_file_write(file, buffer, size); });
}

int jx_name_file_append(const char* path, const void* buffer, int size) {
  return TransferNamedFile(path, "ab+",
                           [&](jx_file_t* file) { return jx_file_write(file, buffer, size); });
}

}  // extern "C"
