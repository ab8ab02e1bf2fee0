// The manifest: its line reader and its line parser.
//
// Properties: the line reader gives the content split at every line feed,
// each line without a carriage return before its feed, and a reader of one
// byte at a time gives the same lines in turn; a parsed line yields the text before
// its first space as the digest and the text after the first "*./" that
// follows it as the path, a line holding a NUL never parses, and a line that
// does not parse leaves the entry untouched.
#include <string>
#include <vector>

#include "base/jx_file.h"
#include "base/jx_line_reader.h"
#include "fuzz_support.h"
#include "qz_check_trelm_version.h"

namespace {

// The lines of a manifest: a carriage return before a feed is dropped too,
// and a longer line than the limit is cut to it.
std::vector<std::string> ManifestLines(const std::string& content) {
  std::vector<std::string> lines = jx::fuzz::SplitLines(content);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].size() > kManifestMaxLineBytes) {
      lines[i].resize(kManifestMaxLineBytes);
    } else if (i + 1 < lines.size() && !lines[i].empty() && lines[i].back() == '\r') {
      lines[i].pop_back();
    }
  }
  return lines;
}

// The next line read one byte at a time: the plain reference for the
// piecewise reader.
std::string ReadLineByteByByte(jx_file_t* file) {
  std::string line;
  bool cut = false;
  char byte;
  while (jx_file_read(file, &byte, 1) == 1) {
    if (byte == '\n') {
      if (!cut && !line.empty() && line.back() == '\r') line.pop_back();
      break;
    }
    if (line.size() < kManifestMaxLineBytes) {
      line.push_back(byte);
    } else {
      cut = true;
    }
  }
  return line;
}

void CheckParse(const std::string& line) {
  QZCheckMd5Entry entry{"unchanged path", "unchanged digest"};
  const size_t space = line.find(' ');
  const size_t marker = space == std::string::npos ? space : line.find("*./", space);
  const bool has_nul = line.find('\0') != std::string::npos;
  if (!QZCheckParseFileMd5TextLine(line, &entry)) {
    FUZZ_CHECK(marker == std::string::npos || has_nul);
    FUZZ_CHECK(entry.path == "unchanged path" && entry.md5 == "unchanged digest");
    return;
  }
  FUZZ_CHECK(marker != std::string::npos && !has_nul);
  FUZZ_CHECK(entry.md5 == line.substr(0, space));
  FUZZ_CHECK(entry.path == line.substr(marker + 3));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static jx::fuzz::ScratchFile scratch("manifest_fuzzer.check");
  const std::string content(jx::fuzz::AsText(data, size));
  const std::string& path = scratch.Write(content);
  const std::vector<std::string> expected = ManifestLines(content);

  jx_file_t file = jx_file_open(path.c_str(), "rb");
  FUZZ_CHECK(file != nullptr);
  jx::LineReader reader(&file, UINT64_MAX, kManifestMaxLineBytes);
  std::string line;
  for (const std::string& want : expected) FUZZ_CHECK(reader.Next(&line) && line == want);
  FUZZ_CHECK(!reader.Next(&line));
  jx_file_close(&file);

  file = jx_file_open(path.c_str(), "rb");
  FUZZ_CHECK(file != nullptr);
  for (const std::string& want : expected) FUZZ_CHECK(ReadLineByteByByte(&file) == want);
  jx_file_close(&file);

  for (const std::string& entry : expected) CheckParse(entry);
  return 0;
}
