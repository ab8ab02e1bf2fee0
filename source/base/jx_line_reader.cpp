// Lines of a file, read in large pieces.
#include "base/jx_line_reader.h"

#include <algorithm>
#include <cstring>

namespace jx {

LineReader::LineReader(jx_file_t* file, uint64_t limit, size_t max_line)
    : file_(file), max_line_(max_line), buffer_(new char[kPieceSize]), unread_(limit) {}

bool LineReader::Next(std::string* line) {
  if (finished_) return false;
  line->clear();
  cut_ = false;
  for (;;) {
    if (next_ == filled_ && !Refill()) {
      finished_ = true;
      return true;
    }
    const char* start = buffer_.get() + next_;
    const size_t available = filled_ - next_;
    const auto* feed = static_cast<const char*>(std::memchr(start, '\n', available));
    const size_t length = feed != nullptr ? static_cast<size_t>(feed - start) : available;
    Keep(line, start, length);
    next_ += length;
    if (feed == nullptr) continue;
    ++next_;
    if (!cut_ && !line->empty() && line->back() == '\r') line->pop_back();
    return true;
  }
}

void LineReader::Keep(std::string* line, const char* bytes, size_t length) {
  const size_t room = max_line_ - line->size();
  if (length > room) cut_ = true;
  line->append(bytes, std::min(length, room));
}

bool LineReader::Refill() {
  next_ = 0;
  const auto ask = static_cast<uint32_t>(std::min<uint64_t>(kPieceSize, unread_));
  filled_ = ask != 0 ? jx_file_read(file_, buffer_.get(), ask) : 0;
  unread_ -= filled_;
  return filled_ != 0;
}

}  // namespace jx
