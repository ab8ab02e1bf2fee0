// Folders on UTF-8 paths, and moving and copying single files.
#include "base/jx_folder.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/jx_file_internal.h"
#include "base/jx_guard.h"
#include "base/jx_path_text.h"
#include "platform/jx_os.h"

namespace {

using jx::os::EntryKind;

// One entry of a folder walk: the walked folder's path followed by the names
// as the system gave them; folders end in "/".
struct Entry {
  std::string path;
  EntryKind kind;
};

constexpr size_t kAllTrusted = std::string::npos;

bool EndsWithSlash(const std::string& text) { return !text.empty() && text.back() == '/'; }

bool IsFolderKind(EntryKind kind) {
  return kind == EntryKind::kFolder || kind == EntryKind::kFolderLink;
}

// A prepared folder path, ending in "/"; "" when nothing is left.
std::string PrepareFolder(const char* path) {
  std::string prepared = jx::PreparePath(path);
  if (!prepared.empty() && !EndsWithSlash(prepared)) prepared += '/';
  return prepared;
}

// `folder`, or "./" (the current folder) for "": the system needs a path to read.
std::string OrCurrent(std::string folder) { return folder.empty() ? "./" : folder; }

// As PrepareFolder, with "./" for an empty result.
std::string PrepareFolderOrCurrent(const char* path) { return OrCurrent(PrepareFolder(path)); }

// The text up to and including its last "/"; "" when it has none.
std::string FolderPart(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsRoot(const std::string& folder) {
  return folder == "/" || (folder.size() == 3 && folder[1] == ':' && folder[2] == '/');
}

bool IsFolderAt(const std::string& path) {
  jx::os::PathInfo info{};
  return jx::os::StatPath(path, &info) && info.is_directory;
}

bool RemoveFolderAt(const std::string& path) {
  return !IsFolderAt(path) || jx::os::RemoveFolder(path);
}

// Makes every missing folder along `path` (ending in "/"), outermost first.
// Folders past the first `trusted` bytes must not be links: the walk fails
// there rather than pass through one.
bool MakeFolders(const std::string& path, size_t trusted) {
  for (size_t slash = path.find('/'); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash + 1);
    if (prefix.size() > trusted && jx::os::IsLink(prefix)) return false;
    // A folder that another caller made meanwhile counts as made.
    if (!IsFolderAt(prefix) && !jx::os::CreateFolder(prefix) && !IsFolderAt(prefix)) return false;
  }
  return true;
}

// The one folder walk behind the listing, the recursive removal and the
// recursive copy. Lists `folder` (ending in "/", or "" for the current folder)
// `depth` levels deep (negative: every level), each folder after its
// contents. Links to folders are listed but never entered. Runs on its own
// stack, so deep trees cannot overflow the thread's. False when `folder`
// itself cannot be read.
bool Walk(const std::string& folder, int depth, std::vector<Entry>* out) {
  struct Level {
    std::string folder;
    int depth;
    std::vector<jx::os::FolderEntry> entries;
    size_t next = 0;
  };
  std::vector<Level> levels;
  levels.push_back({folder, depth, {}});
  if (!jx::os::ReadFolder(OrCurrent(folder), &levels.back().entries)) return false;
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.next == level.entries.size()) {
      std::string finished = std::move(level.folder);
      levels.pop_back();
      if (!levels.empty()) out->push_back({std::move(finished), EntryKind::kFolder});
      continue;
    }
    const jx::os::FolderEntry& entry = level.entries[level.next++];
    if (entry.name.empty()) continue;
    std::string path = level.folder + entry.name;
    if (IsFolderKind(entry.kind)) path += '/';
    if (entry.kind == EntryKind::kFolder && level.depth != 1) {
      Level inner{std::move(path), level.depth < 0 ? level.depth : level.depth - 1, {}};
      // An unreadable sub-folder is listed without its contents.
      jx::os::ReadFolder(inner.folder, &inner.entries);
      levels.push_back(std::move(inner));
      continue;
    }
    out->push_back({std::move(path), entry.kind});
  }
  return true;
}

// The entry texts copied into `pool`; {null, 0} when there are none or the
// pool cannot hold them.
jx_folder_listing CopyToPool(const std::vector<std::string>& entries, jx_mem_pool_t pool) {
  // Pool pieces come unaligned: ask for room to align the pointer array.
  size_t space = entries.size() * sizeof(char*) + alignof(char*) - 1;
  if (entries.empty() || space > INT_MAX) return {};
  void* array = jx_mem_pool_malloc(pool, static_cast<int>(space));
  if (array == nullptr) return {};
  char** texts =
      static_cast<char**>(std::align(alignof(char*), entries.size() * sizeof(char*), array, space));
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string& path = entries[i];
    if (path.size() >= INT_MAX) return {};
    // Pool pieces come zero-filled, so the NUL is in place.
    texts[i] = static_cast<char*>(jx_mem_pool_malloc(pool, static_cast<int>(path.size() + 1)));
    if (texts[i] == nullptr) return {};
    std::memcpy(texts[i], path.data(), path.size());
  }
  return {texts, static_cast<uint32_t>(entries.size())};
}

// Copies one entry of the walk below `from` to the same place below `to`.
// Folders are made and regular files copied; the rest is skipped. False when
// a folder cannot be made or a file was not written.
bool CopyEntry(const Entry& entry, const std::string& from, const std::string& to) {
  if (entry.kind == EntryKind::kFolderLink || entry.kind == EntryKind::kOther) return true;
  const std::string target = to + entry.path.substr(from.size());
  // Below `to` the copy makes its own folders; a link there is not passed.
  if (!MakeFolders(FolderPart(target), to.size())) return false;
  if (entry.kind == EntryKind::kFolder || jx::IsFileAt(target)) return true;  // targets stay
  return jx::CopyFileAt(entry.path, target);
}

// The destination of a single-file move or copy, with the folders above it
// made; "" when `from` is not a file, or `dest` is unusable or taken.
std::string PrepareFileTarget(const std::string& from, const char* dest) {
  if (from.empty() || !jx::IsFileAt(from)) return {};
  const std::string to = jx::PreparePath(dest);
  if (to.empty() || EndsWithSlash(to) || jx::IsFileAt(to)) return {};
  const std::string folder = FolderPart(to);
  // A folder that cannot be made shows in the move or copy that follows.
  if (!folder.empty() && !IsFolderAt(folder)) MakeFolders(folder, kAllTrusted);
  return to;
}

}  // namespace

namespace jx {

std::vector<std::string> ListFolder(const char* folder, int depth) {
  const std::string prepared = PrepareFolder(folder);
  if (depth == 0 || prepared.empty()) return {};
  // Normalised with its "/" in place, so a last "." or ".." goes too.
  const std::string listed = FixPathText(prepared);
  std::vector<Entry> entries;
  if (!IsFolderAt(OrCurrent(listed)) || !Walk(listed, depth, &entries)) return {};
  std::vector<std::string> paths;
  paths.reserve(entries.size());
  for (Entry& entry : entries) paths.push_back(std::move(entry.path));
  return paths;
}

}  // namespace jx

extern "C" {

bool jx_folder_exist(const char* path) {
  return jx::Guarded(false, [&] {
    const std::string prepared = jx::PreparePath(path);
    return !prepared.empty() && IsFolderAt(prepared);
  });
}

bool jx_folder_create(const char* path) {
  return jx::Guarded(false, [&] {
    const std::string prepared = jx::PreparePath(path);
    return !prepared.empty() && jx::os::CreateFolder(prepared);
  });
}

bool jx_folder_remove(const char* path) {
  return jx::Guarded(false, [&] {
    const std::string prepared = jx::PreparePath(path);
    return !prepared.empty() && RemoveFolderAt(prepared);
  });
}

bool jx_folder_recursive_create(const char* path) {
  return jx::Guarded(false, [&] { return MakeFolders(PrepareFolder(path), kAllTrusted); });
}

bool jx_folder_recursive_remove(const char* path) {
  return jx::Guarded(false, [&] {
    const std::string folder = PrepareFolder(path);
    if (folder.empty() || IsRoot(folder)) return false;
    if (!IsFolderAt(folder)) return true;
    if (jx::os::IsLink(folder)) return jx::os::RemoveFolder(folder);  // never what it points to
    std::vector<Entry> entries;
    Walk(folder, -1, &entries);  // unreadable: the final removal reports it
    for (const Entry& entry : entries) {
      const bool removed =
          IsFolderKind(entry.kind) ? RemoveFolderAt(entry.path) : jx::RemoveFileAt(entry.path);
      if (!removed) return false;
    }
    return RemoveFolderAt(folder);
  });
}

jx_folder_listing jx_folder_enumerate_all(int depth, const char* folder, jx_mem_pool_t pool) {
  return jx::Guarded(jx_folder_listing{},
                     [&] { return CopyToPool(jx::ListFolder(folder, depth), pool); });
}

bool jx_folder_recursive_copy(const char* source, const char* dest) {
  return jx::Guarded(false, [&] {
    const std::string from = PrepareFolderOrCurrent(source);
    const std::string to = PrepareFolderOrCurrent(dest);
    if (!IsFolderAt(from)) return false;
    std::vector<Entry> entries;
    Walk(from, -1, &entries);  // all of it first: a `to` inside `from` is not copied again
    bool copied = true;
    for (const Entry& entry : entries) copied = CopyEntry(entry, from, to) && copied;
    return copied;
  });
}

bool jx_folder_rename(const char* source, const char* dest) {
  return jx::Guarded(false, [&] {
    const std::string from = jx::PreparePath(source);
    std::string to = PrepareFolder(dest);
    if (from.empty() || to.empty() || !IsFolderAt(from) || IsFolderAt(to)) return false;
    to.pop_back();  // the folder itself
    const std::string parent = FolderPart(to);
    if (!parent.empty() && !IsFolderAt(parent)) MakeFolders(parent, kAllTrusted);
    return !to.empty() && jx::os::RenamePath(from, to);
  });
}

bool jx_file_rename(const char* source, const char* dest) {
  return jx::Guarded(false, [&] {
    const std::string from = jx::PreparePath(source);
    const std::string to = PrepareFileTarget(from, dest);
    return !to.empty() && jx::os::RenamePath(from, to);
  });
}

bool jx_file_copy(const char* source, const char* dest) {
  return jx::Guarded(false, [&] {
    const std::string from = jx::PreparePath(source);
    const std::string to = PrepareFileTarget(from, dest);
    return !to.empty() && jx::CopyFileAt(from, to);
  });
}

}  // extern "C"
