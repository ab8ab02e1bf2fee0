#include "base/jx_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/jx_test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using jx::test::ReadFile;
using jx::test::TempDir;
using jx::test::WriteFile;

TEST(FileOpen, RefusesInvalidArgumentsAndNormalisesThePath) {
  TempDir dir;
  WriteFile(dir / "a.txt", "abc");
  EXPECT_EQ(jx_file_open("", "rb"), nullptr);
  EXPECT_EQ(jx_file_open(nullptr, "rb"), nullptr);
  EXPECT_EQ(jx_file_open("./", "rb"), nullptr);  // normalises to ""
  EXPECT_EQ(jx_file_open((dir / "a.txt").c_str(), ""), nullptr);
  EXPECT_EQ(jx_file_open((dir / "a.txt").c_str(), nullptr), nullptr);
  EXPECT_EQ(jx_file_open((dir / "a.txt").c_str(), "z"), nullptr);
  EXPECT_EQ(jx_file_open((dir / "a.txt").c_str(), "rbb"), nullptr);
  EXPECT_EQ(jx_file_open((dir / "missing.txt").c_str(), "rb"), nullptr);
  EXPECT_EQ(jx_file_open(dir.path().c_str(), "wb"), nullptr);  // a folder
  EXPECT_EQ(jx_file_open(dir.path().c_str(), "rb"), nullptr);

  WriteFile(dir / "sub/a.txt", "abc");
  std::string messy = dir.path();
  for (char& c : messy) c = c == '/' ? '\\' : c;
  messy += "sub\\\\.\\x\\..\\a.txt";
  jx_file_t file = jx_file_open(messy.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  char buffer[8] = {};
  EXPECT_EQ(jx_file_read(&file, buffer, sizeof(buffer)), 3u);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_TRUE(jx_file_close(&file));
}

TEST(FileStream, ReadsShortOnlyAtEndOfFile) {
  TempDir dir;
  WriteFile(dir / "f", "0123456789abcd");
  jx_file_t file = jx_file_open((dir / "f").c_str(), "rb");
  ASSERT_NE(file, nullptr);
  char buffer[16] = {};
  EXPECT_EQ(jx_file_read(&file, buffer, 0), 0u);
  EXPECT_EQ(jx_file_read(&file, buffer, 5), 5u);
  EXPECT_EQ(jx_file_size(&file), 14);
  EXPECT_EQ(jx_file_tell(&file), 5);  // the size left the position alone
  EXPECT_EQ(jx_file_read(&file, buffer, 1), 1u);
  EXPECT_EQ(buffer[0], '5');
  ASSERT_TRUE(jx_file_seek(&file, -4, SEEK_END));
  EXPECT_FALSE(jx_file_eof(&file));
  EXPECT_EQ(jx_file_read(&file, buffer, 10), 4u);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_TRUE(jx_file_eof(&file));
  EXPECT_FALSE(jx_file_error(&file));
  EXPECT_FALSE(jx_file_seek(&file, 0, 7));
  EXPECT_GE(jx_file_no(&file), 0);
  EXPECT_TRUE(jx_file_close(&file));
}

TEST(FileStream, WritesAllOrNothingUnderANonAsciiName) {
  TempDir dir;
  const std::string path = dir / "r\xC3\xA9sum\xC3\xA9 \xE4\xB8\xAD.txt";
  jx_file_t file = jx_file_open(path.c_str(), "wb+");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(jx_file_write(&file, "xyz", 0), 0);
  EXPECT_EQ(jx_file_write(&file, nullptr, 3), 0);
  EXPECT_EQ(jx_file_write(&file, "xyz", 3), 3);
  EXPECT_TRUE(jx_file_flush(&file));
  EXPECT_EQ(ReadFile(path), "xyz");  // readable while open
  EXPECT_TRUE(jx_file_close(&file));
  file = jx_file_open(path.c_str(), "ab+");
  EXPECT_EQ(jx_file_write(&file, "!", 1), 1);
  EXPECT_TRUE(jx_file_close(&file));
  EXPECT_EQ(ReadFile(path), "xyz!");
  EXPECT_EQ(jx_file_get_info(path.c_str()).size, 4u);
  EXPECT_TRUE(jx_file_remove(path.c_str()));
  EXPECT_FALSE(jx_file_exist(path.c_str()));
}

TEST(FileStream, NoStreamGivesTheFailureResults) {
  jx_file_t none = nullptr;
  char buffer[4];
  for (jx_file_t* file : {static_cast<jx_file_t*>(nullptr), &none}) {
    EXPECT_EQ(jx_file_read(file, buffer, 4), 0u);
    EXPECT_EQ(jx_file_write(file, "a", 1), 0);
    EXPECT_FALSE(jx_file_seek(file, 0, SEEK_SET));
    EXPECT_EQ(jx_file_tell(file), 0);
    EXPECT_EQ(jx_file_size(file), 0);
    EXPECT_TRUE(jx_file_eof(file));
    EXPECT_TRUE(jx_file_error(file));
    EXPECT_FALSE(jx_file_flush(file));
    EXPECT_FALSE(jx_file_close(file));
    EXPECT_EQ(jx_file_no(file), -1);
  }
  EXPECT_EQ(jx_file_dup(-1), -1);
  EXPECT_EQ(jx_file_dup2(-1, 5), -1);
}

TEST(FileStream, ReopensAndDuplicatesDescriptors) {
  TempDir dir;
  const std::string first = dir / "first";
  const std::string second = dir / "second";
  jx_file_t file = jx_file_open(first.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  file = jx_file_ropen(second.c_str(), "wb", file);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(jx_file_write(&file, "moved", 5), 5);
  const int fd = jx_file_no(&file);
  const int copy = jx_file_dup(fd);
  ASSERT_GE(copy, 0);
  EXPECT_EQ(jx_file_dup2(fd, copy), 0);
  EXPECT_TRUE(jx_file_close(&file));
  EXPECT_EQ(ReadFile(second), "moved");
  EXPECT_EQ(ReadFile(first), "");
  EXPECT_EQ(jx_file_ropen(second.c_str(), "rb", nullptr), nullptr);
}

TEST(FilePaths, ExistRemoveAndInfoTellFilesFromFolders) {
  TempDir dir;
  const std::string path = dir / "f.bin";
  WriteFile(path, std::string(1234, 'x'));
  EXPECT_TRUE(jx_file_exist(path.c_str()));
  EXPECT_FALSE(jx_file_exist(dir.path().c_str()));
  EXPECT_FALSE(jx_file_exist((dir / "missing").c_str()));
  EXPECT_FALSE(jx_file_exist(nullptr));
  EXPECT_EQ(jx_file_get_info(path.c_str()).size, 1234u);
  EXPECT_EQ(jx_file_get_info(dir.path().c_str()).size, 0u);
  EXPECT_NE(jx_file_get_info(dir.path().c_str()).write_time, 0);

  jx::test::SetFileTimes(path, 1577836800);  // 2020-01-01 00:00:00 UTC
  EXPECT_EQ(jx_file_get_info(path.c_str()).write_time, 1577836800);
  EXPECT_EQ(jx_file_get_info(path.c_str()).access_time, 1577836800);

  const jx_file_info missing = jx_file_get_info((dir / "missing").c_str());
  EXPECT_EQ(missing.size, 0u);
  EXPECT_EQ(missing.write_time, 0);
  EXPECT_EQ(missing.create_time, 0);

  EXPECT_TRUE(jx_file_remove((dir / "missing").c_str()));
  EXPECT_TRUE(jx_file_remove(dir.path().c_str()));  // a folder is not a file: untouched
  EXPECT_FALSE(jx_file_remove(""));
  EXPECT_TRUE(jx_file_remove(path.c_str()));
  EXPECT_FALSE(jx_file_exist(path.c_str()));
}

TEST(NamedFile, ReadsUpToTheCountAsked) {
  TempDir dir;
  WriteFile(dir / "three", "abc");
  char buffer[10] = {};
  EXPECT_EQ(jx_name_file_read((dir / "three").c_str(), buffer, sizeof(buffer)), 3);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(jx_name_file_read((dir / "three").c_str(), buffer, 2), 2);
  EXPECT_EQ(jx_name_file_read((dir / "three").c_str(), buffer, 0), -1);
  EXPECT_EQ(jx_name_file_read((dir / "three").c_str(), buffer, -4), -1);
  EXPECT_EQ(jx_name_file_read((dir / "three").c_str(), nullptr, 3), 0);
  EXPECT_EQ(jx_name_file_read((dir / "missing").c_str(), buffer, 3), -1);
  EXPECT_EQ(jx_name_file_read(dir.path().c_str(), buffer, 3), -1);  // a folder
  EXPECT_EQ(jx_name_file_read(nullptr, buffer, 3), -1);
  EXPECT_TRUE(jx_file_remove((dir / "three").c_str()));  // nothing left open
}

TEST(NamedFile, WriteReplacesAndAppendAdds) {
  TempDir dir;
  const std::string path = dir / "named";
  EXPECT_EQ(jx_name_file_append(path.c_str(), "ab", 2), 2);
  EXPECT_EQ(jx_name_file_append(path.c_str(), "cd", 2), 2);
  EXPECT_EQ(ReadFile(path), "abcd");
  EXPECT_EQ(jx_name_file_write(path.c_str(), "xyz", 3), 3);
  EXPECT_EQ(ReadFile(path), "xyz");
  EXPECT_EQ(jx_name_file_write(path.c_str(), "xyz", 0), 0);  // emptied all the same
  EXPECT_EQ(ReadFile(path), "");
  EXPECT_EQ(jx_name_file_append(path.c_str(), nullptr, 3), 0);
  EXPECT_EQ(jx_name_file_write((dir / "new").c_str(), nullptr, 3), 0);
  EXPECT_TRUE(jx_file_exist((dir / "new").c_str()));
  EXPECT_EQ(jx_name_file_write(dir.path().c_str(), "x", 1), -1);  // a folder
  EXPECT_EQ(jx_name_file_write((dir / "no/such/folder/f").c_str(), "x", 1), -1);
  EXPECT_EQ(jx_name_file_append("", "x", 1), -1);
}

#ifndef _WIN32
TEST(FilePaths, OpeningAFifoNeverBlocks) {
  TempDir dir;
  const std::string fifo = dir / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  jx_file_t file = jx_file_open(fifo.c_str(), "rb");  // no writer: must not hang
  ASSERT_NE(file, nullptr);
  char buffer[4];
  EXPECT_EQ(jx_file_read(&file, buffer, 4), 0u);
  EXPECT_TRUE(jx_file_close(&file));
  EXPECT_EQ(jx_file_open(fifo.c_str(), "wb"), nullptr);  // no reader
  EXPECT_TRUE(jx_file_exist(fifo.c_str()));
}

TEST(FilePaths, ABrokenLinkIsAFileThatCanBeRemoved) {
  TempDir dir;
  const std::string link = dir / "broken";
  ASSERT_EQ(symlink((dir / "nowhere").c_str(), link.c_str()), 0);
  EXPECT_TRUE(jx_file_exist(link.c_str()));
  EXPECT_TRUE(jx_file_remove(link.c_str()));
  struct stat own {};
  EXPECT_NE(lstat(link.c_str(), &own), 0);
}
#endif

}  // namespace
