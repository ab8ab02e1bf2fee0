// Path texts: the grammar that splits "data.items:2.name" into member and
// index elements, shared by the path calls and jx::Jpath.
#ifndef JX_JSON_JX_JSON_PATH_H_
#define JX_JSON_JX_JSON_PATH_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace jx {

// Reads a path text one element at a time, so a walk stops reading where it
// stops walking. The text is read byte by byte: an unescaped "." or ":" ends
// the element being read and sets the kind of the next one; empty elements
// vanish. A backslash escapes the byte after it: an escaped "." or ":" joins
// the name without the backslash, an escaped backslash becomes two
// backslashes, and any other escaped byte keeps its backslash. A backslash at
// the very end is dropped.
class PathReader {
 public:
  explicit PathReader(std::string_view text) : text_(text) { Advance(); }
  PathReader(const PathReader&) = delete;
  PathReader& operator=(const PathReader&) = delete;

  // True once every element has been read.
  bool AtEnd() const { return at_end_; }
  // The current element: '.' for a member, ':' for an index, and its text,
  // valid until the next Advance.
  char kind() const { return kind_; }
  std::string_view name() const { return name_; }

  // Moves to the next element.
  void Advance();

 private:
  // Reads the element that starts at `begin` byte by byte, escapes and all.
  void ReadEscaped(size_t begin);

  std::string_view text_;
  size_t next_ = 0;       // the first byte not read yet
  char next_kind_ = '.';  // the kind the element being read will have
  char kind_ = '.';
  std::string_view name_;  // into text_, or into unescaped_
  std::string unescaped_;
  bool at_end_ = false;
};

}  // namespace jx

#endif  // JX_JSON_JX_JSON_PATH_H_
