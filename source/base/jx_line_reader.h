// The one line reader of the toolkit: reads a file in large pieces and hands
// out its lines, for the INI reader, the manifest and the tool.
#ifndef JX_BASE_JX_LINE_READER_H_
#define JX_BASE_JX_LINE_READER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/jx_file.h"

namespace jx {

// The lines of at most `limit` bytes of a file: the content split at every
// line feed, so a final line feed is followed by one empty line and an empty
// file gives one empty line. A line loses its line feed and a carriage return
// before it. A line is kept up to `max_line` bytes; the rest of it is read
// and dropped. A read error ends the content; it loses the piece being read,
// not only its tail.
class LineReader {
 public:
  // Keeps `file`, which must outlive the reader.
  LineReader(jx_file_t* file, uint64_t limit, size_t max_line);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line; false once the last line has been returned.
  bool Next(std::string* line);
  // Whether the line last returned was longer than `max_line` and cut.
  bool cut() const { return cut_; }

 private:
  void Keep(std::string* line, const char* bytes, size_t length);
  bool Refill();

  static constexpr uint32_t kPieceSize = 64 * 1024;
  jx_file_t* file_;
  const size_t max_line_;
  std::unique_ptr<char[]> buffer_;
  uint64_t unread_;
  size_t next_ = 0;
  size_t filled_ = 0;
  bool finished_ = false;
  bool cut_ = false;
};

}  // namespace jx

#endif  // JX_BASE_JX_LINE_READER_H_
