// Shared test helpers: temporary folders and files, reading files back.
#ifndef JX_TESTS_SUPPORT_JX_TEST_SUPPORT_H_
#define JX_TESTS_SUPPORT_JX_TEST_SUPPORT_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace jx::test {

// A fresh, empty folder removed with everything in it when the object dies.
// path() is UTF-8 with "/" separators and ends in "/".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() followed by `relative`.
  std::string operator/(const std::string& relative) const { return path_ + relative; }

 private:
  std::string path_;
};

// Writes `content` to the file at the UTF-8 `path`, creating parent folders.
void WriteFile(const std::string& path, const std::string& content);
// The whole content of the file at the UTF-8 `path`; "" when it cannot be read.
std::string ReadFile(const std::string& path);
// The content of a file written in the C runtime's text mode, such as the
// log file: on Windows its "\r\n" read back as "\n".
std::string ReadTextFile(const std::string& path);
// Reads the text file at `path` again and again until `done` holds for its content
// or a minute has passed (a guard against hangs, not a timing check); returns
// the content read last.
std::string WaitForFileContent(const std::string& path,
                               const std::function<bool(const std::string&)>& done);
// The head of a log line stamped at `wall_ms` by thread `thread_id` of this
// process: "[YYYY-MM-DD hh:mm:ss:mmm][P<process> T<thread>]", local time.
std::string LogHead(int64_t wall_ms, int64_t thread_id);
// Sets the access and write times of the file at the ASCII `path` to
// `seconds` since 1970 (UTC).
void SetFileTimes(const std::string& path, int64_t seconds);
// The 32 lower-case hex characters of the MD5 of `content`.
std::string Md5Of(const std::string& content);
// True where the tests run on Windows (under Wine here).
bool OnWindows();
// Makes `link` a symbolic link to the folder `target` (both UTF-8). False
// where the system refuses (Windows without the right to make links).
bool MakeFolderLink(const std::string& link, const std::string& target);
// Makes `link` a symbolic link to `target`, which need not exist (a link to
// itself makes a loop). False on Windows, where links need rights tests lack.
bool MakeLink(const std::string& link, const std::string& target);
// Makes a FIFO at `path`. False on Windows, which has none.
bool MakeFifo(const std::string& path);
// Offers a Windows named pipe that no one writes to, until the result is
// dropped, and puts its path (in the "//?/pipe/" form) in `*path`. Null on
// POSIX, where MakeFifo makes its like.
std::shared_ptr<void> OfferNamedPipe(std::string* path);
// Points this process's user folders (home, configuration, data) into
// the UTF-8 folder `home` ("/"-terminated); call before anything asks for
// them, as the toolkit keeps them. False on Windows, where the shell ignores
// the environment.
bool UseTemporaryProfile(const std::string& home);
// Holds the file at the UTF-8 `path` open for reading, as a log viewer does,
// until the result is dropped; on Windows without sharing deletion, so the
// file cannot be deleted meanwhile. Null when it cannot be opened.
std::shared_ptr<void> HoldOpenForReading(const std::string& path);

}  // namespace jx::test

#endif  // JX_TESTS_SUPPORT_JX_TEST_SUPPORT_H_
