#include "base/jx_file.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/jx_file_internal.h"
#include "base/jx_folder.h"
#include "base/jx_hand_out.h"
#include "base/jx_line_reader.h"
#include "base/jx_system.h"
#include "support/jx_test_support.h"

namespace {

using jx::test::ReadFile;

TEST(FileStream, RefusesBadOpensAndNoStreamGivesTheFailureResults) {
  jx::test::TempDir dir;
  const std::string a = dir / "a.txt";
  jx::test::WriteFile(a, "abc");
  const char* refused[][2] = {{"", "rb"},         {nullptr, "rb"},      {"./", "rb"},
                              {a.c_str(), ""},    {a.c_str(), nullptr}, {a.c_str(), "z"},
                              {a.c_str(), "rbb"}, {"/no/such", "rb"},   {dir.path().c_str(), "wb"}};
  for (const auto& [path, mode] : refused) EXPECT_EQ(jx_file_open(path, mode), nullptr) << mode;
  jx_file_t none = nullptr;
  char buffer[4];
  for (jx_file_t* file : {static_cast<jx_file_t*>(nullptr), &none}) {
    EXPECT_EQ(jx_file_read(file, buffer, 4) + jx_file_write(file, "a", 1), 0u);
    EXPECT_EQ(jx_file_tell(file) + jx_file_size(file), 0);
    EXPECT_TRUE(jx_file_eof(file) && jx_file_error(file));
    EXPECT_FALSE(jx_file_seek(file, 0, SEEK_SET) || jx_file_flush(file) || jx_file_close(file));
    EXPECT_EQ(jx_file_no(file) + jx_file_dup(-1) + jx_file_dup2(-1, 5), -3);
  }
  EXPECT_EQ(jx_file_ropen(a.c_str(), "rb", nullptr), nullptr);
}

TEST(FileStream, LinesSplitAtLineFeedsLoseTheCarriageReturnAndAreCutAtTheLimit) {
  const std::string longest(5, 'x');
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {""}},
      {"a\r\nb\r\n\r\nc\r", {"a", "b", "", "c\r"}},
      {longest + "\r\n" + longest + "yz\r\n" + longest + "z\n", {longest, longest, longest, ""}}};
  for (const auto& [content, lines] : cases) {
    jx::test::TempDir dir;
    jx::test::WriteFile(dir / "m", content);
    jx_file_t file = jx_file_open((dir / "m").c_str(), "rb");
    jx::LineReader reader(&file, UINT64_MAX, longest.size());
    std::vector<std::string> read;
    for (std::string line; reader.Next(&line);) read.push_back(line);
    EXPECT_EQ(read, lines) << content;
    jx_file_close(&file);
  }
}

TEST(FileStream, ReadsShortOnlyAtEndOfFileAndWritesAllOrNothing) {
  jx::test::TempDir dir;
  std::string path = dir.path() + "sub\\\\.\\x\\..\\r\xC3\xA9sum\xC3\xA9.txt";
  jx::test::WriteFile(dir / "sub/r\xC3\xA9sum\xC3\xA9.txt", "0123456789abcd");
  jx_file_t file = jx_file_open(path.c_str(), "rb+");
  char buffer[16] = {};
  EXPECT_EQ(jx_file_read(&file, buffer, 0) + jx_file_read(&file, buffer, 5), 5u);
  EXPECT_EQ(jx_file_size(&file), 14);
  EXPECT_EQ(jx_file_tell(&file), 5);  // the size left the position alone
  ASSERT_TRUE(jx_file_seek(&file, -4, SEEK_END));
  EXPECT_FALSE(jx_file_eof(&file) || jx_file_seek(&file, 0, 7));
  EXPECT_EQ(jx_file_read(&file, buffer, 10), 4u);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_TRUE(jx_file_eof(&file) && !jx_file_error(&file));
  EXPECT_EQ(jx_file_write(&file, "xyz", 0) + jx_file_write(&file, nullptr, 3), 0);
  EXPECT_EQ(jx_file_write(&file, "!", 1), 1);
  EXPECT_TRUE(jx_file_flush(&file));
  EXPECT_EQ(ReadFile(dir / "sub/r\xC3\xA9sum\xC3\xA9.txt"), "0123456789abcd!");
  EXPECT_EQ(jx_file_dup2(jx_file_no(&file), jx_file_dup(jx_file_no(&file))), 0);
  EXPECT_TRUE(jx_file_close(&file));
}

TEST(FilePaths, ExistRemoveInfoAndNamedFilesTellFilesFromFolders) {
  jx::test::TempDir dir;
  const std::string path = dir / "f.bin";
  EXPECT_EQ(jx_name_file_append(path.c_str(), "ab", 2) + jx_name_file_write(path.c_str(), "x", 0),
            2);
  EXPECT_EQ(ReadFile(path), "");  // emptied all the same
  EXPECT_EQ(jx_name_file_write(path.c_str(), "xyz", 3), 3);
  jx::test::SetFileTimes(path, 1577836800);  // 2020-01-01 00:00:00 UTC
  EXPECT_EQ(jx_file_get_info(path.c_str()).write_time, 1577836800);
  EXPECT_EQ(jx_name_file_append(path.c_str(), "!", 1), 1);  // leaves the access time
  const jx_file_info info = jx_file_get_info(path.c_str());
  EXPECT_TRUE(info.size == 4 && info.write_time > 1577836800);
  EXPECT_TRUE(jx::test::OnWindows() || info.access_time == 1577836800);
  char buffer[10] = {};
  EXPECT_EQ(jx_name_file_read(path.c_str(), buffer, sizeof(buffer)), 4);
  EXPECT_EQ(
      jx_name_file_read(path.c_str(), buffer, 2) + jx_name_file_read(path.c_str(), nullptr, 3), 2);
  EXPECT_EQ(
      jx_name_file_read(path.c_str(), buffer, 0) + jx_name_file_read(path.c_str(), buffer, -4), -2);
  EXPECT_EQ(jx_name_file_append(path.c_str(), nullptr, 3), 0);
  EXPECT_EQ(ReadFile(path), "xyz!");
  for (const std::string& no : {dir.path(), dir / "missing", dir / "no/such/f"}) {
    EXPECT_FALSE(jx_file_exist(no.c_str()));
    EXPECT_TRUE(jx_file_remove(no.c_str()));  // no file: nothing to do
    EXPECT_TRUE(jx_file_get_info(no.c_str()).size == 0 &&
                jx_name_file_read(no.c_str(), buffer, 3) == -1);
    EXPECT_EQ(jx_name_file_write(no.c_str(), "x", 1) + jx_name_file_append(no.c_str(), "x", 1),
              no == dir / "missing" ? 2 : -2);
  }
  EXPECT_EQ(jx_file_get_info((dir / "no/such").c_str()).write_time, 0);
  EXPECT_FALSE(jx_file_exist(nullptr) || jx_file_remove(""));
  EXPECT_EQ(jx_name_file_read(nullptr, buffer, 3) + jx_name_file_append("", "x", 1), -2);
  EXPECT_TRUE(jx_file_remove(path.c_str()));
  EXPECT_FALSE(jx_file_exist(path.c_str()));
  const std::string deep = dir / (std::string(120, 'd') + "/" + std::string(120, 'e') + "/f.txt");
  ASSERT_TRUE(jx_folder_recursive_create(deep.substr(0, deep.size() - 5).c_str()));
  EXPECT_EQ(jx_name_file_write(deep.c_str(), "long", 4), 4);  // past the classic 260 units
  EXPECT_EQ(ReadFile(deep), "long");
  // As long relative to the working folder: made whole before the long form.
  const std::string previous = jx::TakeText(&jx_get_current_work_path);
  jx_set_current_work_path(dir.path().c_str());
  const std::string relative = deep.substr(dir.path().size(), 242) + "relative-file.txt";
  EXPECT_EQ(jx_name_file_write(relative.c_str(), "rel", 3), 3);
  jx_set_current_work_path(previous.c_str());
  EXPECT_EQ(ReadFile(dir / relative), "rel");
}

// The descriptors this process holds; -1 where they cannot be counted (under
// Wine the folder lists the emulator's own, which come and go).
long OpenDescriptors() {
  std::error_code error;
  std::filesystem::directory_iterator fds("/proc/self/fd", error);
  return jx::test::OnWindows() || error ? -1
                                        : std::distance(fds, std::filesystem::directory_iterator());
}

// Entries that are not plain files: neither opener may open them, and a FIFO
// or pipe without a writer must not hold the open up, nor a console wait for
// input. `*pipe` keeps the Windows pipe offered until the test ends.
std::vector<std::string> NotPlainFiles(const jx::test::TempDir& dir, std::shared_ptr<void>* pipe) {
  std::vector<std::string> entries = {dir.path(), dir / "missing", ""};
  if (jx::test::OnWindows()) {
    std::string pipe_path;
    *pipe = jx::test::OfferNamedPipe(&pipe_path);
    EXPECT_NE(*pipe, nullptr);
    entries.insert(entries.begin(), pipe_path);  // only its first open finds it free
    entries.insert(entries.end(), {"NUL", "CON", dir / "NUL", dir / "CON"});
  } else {
    EXPECT_TRUE(jx::test::MakeFifo(dir / "pipe") && jx::test::MakeLink(dir / "zero", "/dev/zero"));
    entries.insert(entries.end(), {dir / "pipe", dir / "zero", "/dev/null"});
  }
  return entries;
}

// Only a plain file opens; its size is the one it had when it was opened.
TEST(PlainFile, OpensOnlyPlainFilesAndGivesTheSizeAtOpenTime) {
  jx::test::TempDir dir;
  const std::string path = dir / "f";
  jx::test::WriteFile(path, "12345");
  uint64_t size = 99;
  jx::ScopedFile file = jx::OpenPlainFile(path, &size);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(jx_name_file_append(path.c_str(), "678", 3), 3);
  char buffer[16] = {};
  EXPECT_EQ(std::fread(buffer, 1, sizeof(buffer), file.get()), 8u);  // the stream reads on
  file.reset();
  EXPECT_NE(jx::OpenPlainFile(path, &size, "rb+", false), nullptr);
  EXPECT_EQ(size, 8u);
  EXPECT_NE(jx::OpenPlainFile(path, &size, "wb", false), nullptr);
  EXPECT_EQ(size, 0u);  // emptied by the open
  EXPECT_NE(jx::OpenPlainFile(path, nullptr, "ab"), nullptr);
  const long descriptors = OpenDescriptors();
  std::shared_ptr<void> pipe;
  for (const std::string& entry : NotPlainFiles(dir, &pipe)) {
    for (const char* mode : {"rb", "rb+"}) {
      size = 7;
      EXPECT_EQ(jx::OpenPlainFile(entry, &size, mode), nullptr) << entry << " " << mode;
      EXPECT_EQ(size, 7u) << entry;
    }
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);  // each refused open closed what it opened
}

// Reads go to the system one by one: they end only when it has nothing more,
// also past the size the file had when it was opened.
TEST(PlainFile, AHandleFileReadsToTheEndAndMovesItsHandleAlong) {
  jx::test::TempDir dir;
  const std::string path = dir / "f";
  jx::test::WriteFile(path, "12345");
  jx::HandleFile file;
  uint64_t size = 99;
  char buffer[4] = {};
  uint32_t got = 9;
  EXPECT_FALSE(file.Read(buffer, 4, &got));  // nothing open yet
  EXPECT_EQ(got, 0u);
  ASSERT_TRUE(file.Open(path, &size));
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(jx_name_file_append(path.c_str(), "678", 3), 3);
  EXPECT_FALSE(file.Read(buffer, 0, &got));
  std::string content;
  while (file.Read(buffer, sizeof(buffer), &got) && got > 0) content.append(buffer, got);
  EXPECT_EQ(content, "12345678");
  EXPECT_TRUE(file.Read(buffer, sizeof(buffer), &got) && got == 0);  // still the end
  jx::HandleFile moved(std::move(file));
  EXPECT_FALSE(file.Read(buffer, 1, &got));  // NOLINT(bugprone-use-after-move): left empty
  EXPECT_TRUE(moved.Read(buffer, 1, &got) && got == 0);
  jx::HandleFile other;
  ASSERT_TRUE(other.Open(path, &size));
  other = std::move(moved);  // closes what `other` held
  EXPECT_TRUE(other.Read(buffer, 1, &got) && got == 0);
  other.Close();
  EXPECT_FALSE(other.Read(buffer, 1, &got));
  const long descriptors = OpenDescriptors();
  std::shared_ptr<void> pipe;
  for (const std::string& entry : NotPlainFiles(dir, &pipe)) {
    size = 7;
    const bool opened = file.Open(entry, &size);  // never read: it could wait for ever
    EXPECT_FALSE(opened) << entry;
    EXPECT_TRUE(size == 7u && (opened || !file.Read(buffer, 1, &got))) << entry;
    file.Close();
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

#ifndef _WIN32
TEST(FilePaths, AFifoNeverBlocksAndABrokenLinkIsAFile) {
  jx::test::TempDir dir;
  ASSERT_TRUE(jx::test::MakeFifo(dir / "pipe"));
  jx_file_t file = jx_file_open((dir / "pipe").c_str(), "rb");  // no writer: must not hang
  char buffer[4];
  std::atomic<bool> opened{false};
  std::thread writer([&] {
    jx_file_t out = jx_file_open((dir / "pipe").c_str(), "wb");
    opened = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    jx_file_write(&out, "x", 1);
    jx_file_close(&out);
  });
  while (!opened.load()) std::this_thread::yield();
  EXPECT_EQ(jx_file_read(&file, buffer, 1), 1u);  // once open, reads wait for the writer
  writer.join();
  EXPECT_EQ(jx_file_read(&file, buffer, 4), 0u);  // no writer left
  EXPECT_TRUE(jx_file_close(&file));
  EXPECT_EQ(jx_file_open((dir / "pipe").c_str(), "wb"), nullptr);  // no reader
  ASSERT_TRUE(jx::test::MakeLink(dir / "broken", dir / "nowhere"));
  EXPECT_TRUE(jx_file_exist((dir / "broken").c_str()) && jx_file_remove((dir / "broken").c_str()));
  EXPECT_TRUE(jx::test::MakeLink(dir / "broken", dir / "nowhere"));  // the name is free again
}
#endif

}  // namespace
