// Steps of the file calls that the folder and console calls share. Apart from
// PreparePath they take prepared paths (normalised, not empty) and use them
// as they are: an entry found by a folder walk then reaches exactly the entry
// it names, even a Linux name holding "\" that normalising again would split.
#ifndef JX_BASE_JX_FILE_INTERNAL_H_
#define JX_BASE_JX_FILE_INTERNAL_H_

#include <string>

namespace jx {

// The normalised copy of a path text; "" for null or when nothing is left.
std::string PreparePath(const char* path);

// True when `path` names an existing entry that is not a folder.
bool IsFileAt(const std::string& path);

// True when no file is at `path` afterwards; an entry that is not a file
// (missing, or a folder) is left alone and counts as success.
bool RemoveFileAt(const std::string& path);

}  // namespace jx

#endif  // JX_BASE_JX_FILE_INTERNAL_H_
