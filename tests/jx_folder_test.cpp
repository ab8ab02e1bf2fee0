#include "base/jx_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/jx_file.h"
#include "support/jx_test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using jx::test::ReadFile;
using jx::test::TempDir;
using jx::test::WriteFile;
using Names = std::vector<std::string>;

// The listing of `folder`, each entry without the `base` prefix, sorted
// unless `keep_order`.
Names List(int depth, const std::string& folder, const std::string& base, bool keep_order = false) {
  jx_mem_pool_t pool = jx_mem_pool_create(1024);
  const jx_folder_listing listing = jx_folder_enumerate_all(depth, folder.c_str(), pool);
  Names names;
  for (uint32_t i = 0; i < listing.count; ++i) {
    const std::string entry = listing.entries[i];
    names.push_back(entry.compare(0, base.size(), base) == 0 ? entry.substr(base.size()) : entry);
  }
  jx_mem_pool_destory(pool);
  if (!keep_order) std::sort(names.begin(), names.end());
  return names;
}

size_t IndexOf(const Names& names, const std::string& name) {
  return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

bool Exists(const std::string& path) {
  return jx_file_exist(path.c_str()) || jx_folder_exist(path.c_str());
}

TEST(Folder, ExistCreateAndRemoveTellFoldersFromFiles) {
  TempDir dir;
  WriteFile(dir / "f.txt", "x");
  EXPECT_TRUE(jx_folder_exist(dir.path().c_str()));
  EXPECT_FALSE(jx_folder_exist((dir / "f.txt").c_str()));
  EXPECT_FALSE(jx_folder_exist((dir / "missing").c_str()));
  EXPECT_FALSE(jx_folder_exist(nullptr));
  EXPECT_FALSE(jx_folder_exist("./"));  // normalises to ""

  EXPECT_TRUE(jx_folder_create((dir / "a").c_str()));
  EXPECT_FALSE(jx_folder_create((dir / "a").c_str()));    // exists
  EXPECT_FALSE(jx_folder_create((dir / "x/y").c_str()));  // no parent
  EXPECT_FALSE(jx_folder_create(""));

  WriteFile(dir / "a/inner.txt", "x");
  EXPECT_FALSE(jx_folder_remove((dir / "a").c_str()));  // not empty
  EXPECT_TRUE(jx_folder_remove((dir / "missing").c_str()));
  EXPECT_TRUE(jx_folder_remove((dir / "f.txt").c_str()));  // not a folder: untouched
  EXPECT_TRUE(jx_file_exist((dir / "f.txt").c_str()));
  EXPECT_FALSE(jx_folder_remove(nullptr));
}

TEST(Folder, RecursiveCreateMakesEveryMissingLevel) {
  TempDir dir;
  std::string messy = dir.path() + "a\\\\b\\.\\c";
  EXPECT_TRUE(jx_folder_recursive_create(messy.c_str()));
  EXPECT_TRUE(jx_folder_exist((dir / "a/b/c").c_str()));
  EXPECT_TRUE(jx_folder_recursive_create((dir / "a/b/c/").c_str()));  // exists already
  EXPECT_TRUE(jx_folder_recursive_create(""));
  WriteFile(dir / "file", "x");
  EXPECT_FALSE(jx_folder_recursive_create((dir / "file/below").c_str()));
}

TEST(Folder, RecursiveCreateFromManyThreadsAtOnce) {
  TempDir dir;
  const std::string deep = dir / "1/2/3/4/5/6/7/8";
  std::vector<char> results(4, 0);
  std::vector<std::thread> threads;
  for (char& result : results) {
    threads.emplace_back([&] { result = jx_folder_recursive_create(deep.c_str()) ? 1 : 0; });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(results, std::vector<char>(4, 1));
  EXPECT_TRUE(jx_folder_exist(deep.c_str()));
}

TEST(FolderListing, DepthCountsTheLevelsListed) {
  TempDir dir;
  WriteFile(dir / "a.txt", "a");
  WriteFile(dir / "sub/b.txt", "b");
  WriteFile(dir / "sub/deeper/c.txt", "c");
  ASSERT_TRUE(jx_folder_create((dir / "empty").c_str()));

  EXPECT_EQ(List(1, dir.path(), dir.path()), (Names{"a.txt", "empty/", "sub/"}));
  EXPECT_EQ(List(2, dir.path(), dir.path()),
            (Names{"a.txt", "empty/", "sub/", "sub/b.txt", "sub/deeper/"}));
  const Names all = List(-1, dir.path(), dir.path(), true);
  EXPECT_EQ(all.size(), 6u);
  EXPECT_LT(IndexOf(all, "sub/b.txt"), IndexOf(all, "sub/"));  // contents first
  EXPECT_LT(IndexOf(all, "sub/deeper/c.txt"), IndexOf(all, "sub/deeper/"));
  EXPECT_LT(IndexOf(all, "sub/deeper/"), IndexOf(all, "sub/"));

  std::string messy = dir.path();
  std::replace(messy.begin(), messy.end(), '/', '\\');
  EXPECT_EQ(List(-1, messy + ".\\sub\\\\", dir.path()),
            (Names{"sub/b.txt", "sub/deeper/", "sub/deeper/c.txt"}));
}

// A trailing "." or ".." in the folder is resolved before the names are added.
TEST(FolderListing, EntriesStartWithTheNormalisedFolder) {
  TempDir dir;
  WriteFile(dir / "a.txt", "a");
  WriteFile(dir / "sub/b.txt", "b");
  const Names all{"a.txt", "sub/", "sub/b.txt"};
  EXPECT_EQ(List(-1, dir / ".", ""), (Names{dir / "a.txt", dir / "sub/", dir / "sub/b.txt"}));
  EXPECT_EQ(List(-1, dir / "sub/..", dir.path()), all);
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::u8path(dir.path()));
  const Names here = List(-1, ".", "");
  std::filesystem::current_path(previous);
  EXPECT_EQ(here, all);
}

TEST(FolderListing, NothingToListGivesNullAndZero) {
  TempDir dir;
  WriteFile(dir / "a.txt", "a");
  jx_mem_pool_t pool = jx_mem_pool_create(1024);
  for (const jx_folder_listing listing :
       {jx_folder_enumerate_all(0, dir.path().c_str(), pool),
        jx_folder_enumerate_all(-1, (dir / "missing").c_str(), pool),
        jx_folder_enumerate_all(-1, (dir / "a.txt").c_str(), pool),
        jx_folder_enumerate_all(-1, nullptr, pool), jx_folder_enumerate_all(-1, "", pool),
        jx_folder_enumerate_all(-1, dir.path().c_str(), nullptr)}) {
    EXPECT_EQ(listing.entries, nullptr);
    EXPECT_EQ(listing.count, 0u);
  }
  ASSERT_TRUE(jx_folder_create((dir / "empty").c_str()));
  EXPECT_EQ(jx_folder_enumerate_all(-1, (dir / "empty").c_str(), pool).entries, nullptr);
  jx_mem_pool_destory(pool);
}

TEST(FolderListing, ArrayIsAlignedInAPoolAlreadyInUse) {
  TempDir dir;
  WriteFile(dir / "a.txt", "a");
  WriteFile(dir / "b.txt", "b");
  jx_mem_pool_t pool = jx_mem_pool_create(1024);
  ASSERT_NE(jx_mem_pool_malloc(pool, 3), nullptr);  // leaves the pool off alignment
  const jx_folder_listing listing = jx_folder_enumerate_all(1, dir.path().c_str(), pool);
  ASSERT_EQ(listing.count, 2u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(listing.entries) % alignof(char*), 0u);
  EXPECT_EQ(std::string(listing.entries[0]).substr(0, dir.path().size()), dir.path());
  jx_mem_pool_destory(pool);
}

TEST(FolderRemove, RecursiveRemoveTakesEverythingBelow) {
  TempDir dir;
  WriteFile(dir / "t/a.txt", "a");
  WriteFile(dir / "t/s p a c e/\xC3\xA9t\xC3\xA9.txt", "b");
  ASSERT_TRUE(jx_folder_recursive_create((dir / "t/empty/deeper").c_str()));
  EXPECT_FALSE(jx_folder_remove((dir / "t").c_str()));
  EXPECT_TRUE(jx_folder_recursive_remove((dir / "t").c_str()));
  EXPECT_FALSE(Exists(dir / "t"));
  EXPECT_TRUE(jx_folder_recursive_remove((dir / "t").c_str()));  // already gone
  EXPECT_FALSE(jx_folder_recursive_remove(""));
  EXPECT_FALSE(jx_folder_recursive_remove(nullptr));
}

TEST(FolderCopy, CopiesFoldersAndFilesAndKeepsExistingTargets) {
  TempDir dir;
  WriteFile(dir / "src/a.txt", "alpha");
  WriteFile(dir / "src/sub/b.txt", "beta");
  ASSERT_TRUE(jx_folder_recursive_create((dir / "src/empty").c_str()));
  WriteFile(dir / "dst/a.txt", "kept");

  EXPECT_TRUE(jx_folder_recursive_copy((dir / "src").c_str(), (dir / "dst").c_str()));
  EXPECT_EQ(ReadFile(dir / "dst/a.txt"), "kept");
  EXPECT_EQ(ReadFile(dir / "dst/sub/b.txt"), "beta");
  EXPECT_TRUE(jx_folder_exist((dir / "dst/empty").c_str()));
  EXPECT_EQ(List(-1, dir / "dst", dir / "dst/"), List(-1, dir / "src", dir / "src/"));

  WriteFile(dir / "src/zero.txt", "");
  EXPECT_FALSE(jx_folder_recursive_copy((dir / "src").c_str(), (dir / "dst2").c_str()));
  EXPECT_EQ(ReadFile(dir / "dst2/sub/b.txt"), "beta");  // the rest still copied
  EXPECT_TRUE(jx_file_exist((dir / "dst2/zero.txt").c_str()));

  EXPECT_FALSE(jx_folder_recursive_copy((dir / "missing").c_str(), (dir / "dst3").c_str()));
  EXPECT_FALSE(Exists(dir / "dst3"));
}

TEST(FolderCopy, DestinationInsideTheSourceIsNotCopiedAgain) {
  TempDir dir;
  WriteFile(dir / "a.txt", "alpha");
  WriteFile(dir / "sub/b.txt", "beta");
  EXPECT_TRUE(jx_folder_recursive_copy(dir.path().c_str(), (dir / "copy").c_str()));
  EXPECT_EQ(List(-1, dir / "copy", dir / "copy/"), (Names{"a.txt", "sub/", "sub/b.txt"}));
}

TEST(FolderCopy, EmptyDestinationMeansTheCurrentFolder) {
  TempDir dir;
  WriteFile(dir / "src/sub/b.txt", "beta");
  ASSERT_TRUE(jx_folder_create((dir / "here").c_str()));
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::u8path(dir / "here"));
  const bool copied = jx_folder_recursive_copy((dir / "src").c_str(), "");
  std::filesystem::current_path(previous);
  EXPECT_TRUE(copied);
  EXPECT_EQ(ReadFile(dir / "here/sub/b.txt"), "beta");
}

TEST(FolderRename, MovesAFolderButNeverMerges) {
  TempDir dir;
  WriteFile(dir / "a/x.txt", "x");
  WriteFile(dir / "b/y.txt", "y");
  EXPECT_FALSE(jx_folder_rename((dir / "a").c_str(), (dir / "b").c_str()));
  EXPECT_EQ(ReadFile(dir / "a/x.txt"), "x");
  EXPECT_EQ(List(-1, dir / "b", dir / "b/"), Names{"y.txt"});

  EXPECT_TRUE(jx_folder_rename((dir / "a").c_str(), (dir / "new/parents/a2/").c_str()));
  EXPECT_EQ(ReadFile(dir / "new/parents/a2/x.txt"), "x");
  EXPECT_FALSE(jx_folder_exist((dir / "a").c_str()));
  EXPECT_FALSE(jx_folder_rename((dir / "a").c_str(), (dir / "c").c_str()));        // gone
  EXPECT_FALSE(jx_folder_rename((dir / "b/y.txt").c_str(), (dir / "c").c_str()));  // a file
  EXPECT_FALSE(jx_folder_rename((dir / "b").c_str(), ""));
}

TEST(FileMove, RenameRefusesTakenOrFolderDestinations) {
  TempDir dir;
  WriteFile(dir / "a.txt", "alpha");
  WriteFile(dir / "b.txt", "beta");
  EXPECT_FALSE(jx_file_rename((dir / "a.txt").c_str(), (dir / "b.txt").c_str()));
  EXPECT_FALSE(jx_file_rename((dir / "a.txt").c_str(), (dir / "sub/").c_str()));
  EXPECT_FALSE(jx_file_rename((dir / "a.txt").c_str(), ""));
  EXPECT_FALSE(jx_file_rename((dir / "missing").c_str(), (dir / "c.txt").c_str()));
  EXPECT_FALSE(jx_file_rename(dir.path().c_str(), (dir / "c.txt").c_str()));  // a folder
  EXPECT_EQ(ReadFile(dir / "a.txt"), "alpha");
  EXPECT_EQ(ReadFile(dir / "b.txt"), "beta");

  EXPECT_TRUE(jx_file_rename((dir / "a.txt").c_str(), (dir / "made\\for it/a.txt").c_str()));
  EXPECT_EQ(ReadFile(dir / "made/for it/a.txt"), "alpha");
  EXPECT_FALSE(jx_file_exist((dir / "a.txt").c_str()));
}

TEST(FileCopy, CopiesContentIntoNewFilesOnly) {
  TempDir dir;
  std::string big(300 * 1024 + 7, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 % 251);
  WriteFile(dir / "big.bin", big);
  WriteFile(dir / "taken.txt", "taken");
  EXPECT_TRUE(jx_file_copy((dir / "big.bin").c_str(), (dir / "new/folders/big.bin").c_str()));
  EXPECT_EQ(ReadFile(dir / "new/folders/big.bin"), big);
  EXPECT_FALSE(jx_file_copy((dir / "big.bin").c_str(), (dir / "taken.txt").c_str()));
  EXPECT_EQ(ReadFile(dir / "taken.txt"), "taken");
  EXPECT_FALSE(jx_file_copy((dir / "big.bin").c_str(), (dir / "big.bin").c_str()));
  EXPECT_FALSE(jx_file_copy((dir / "missing").c_str(), (dir / "m.txt").c_str()));
  EXPECT_FALSE(Exists(dir / "m.txt"));

  WriteFile(dir / "zero.txt", "");
  EXPECT_FALSE(jx_file_copy((dir / "zero.txt").c_str(), (dir / "zero2.txt").c_str()));
  EXPECT_TRUE(jx_file_exist((dir / "zero2.txt").c_str()));  // left empty
}

// Long paths, spaces and non-ASCII names through every recursive call.
TEST(FolderPaths, LongAndNonAsciiPathsSurviveEveryCall) {
  TempDir dir;
  std::string deep = dir / "long";
  while (deep.size() < 400) deep += "/\xE6\x96\x87\xE4\xBB\xB6 folder \xC3\xA9";
  const std::string file = deep + "/\xF0\x9F\x93\x84 file.txt";
  ASSERT_TRUE(jx_folder_recursive_create(deep.c_str()));
  ASSERT_EQ(jx_name_file_write(file.c_str(), "deep", 4), 4);
  const Names listed = List(-1, dir / "long", dir / "long/");
  ASSERT_FALSE(listed.empty());
  EXPECT_EQ(dir / "long/" + listed.back(), file);  // sorted: the file comes last

  EXPECT_TRUE(jx_folder_recursive_copy((dir / "long").c_str(), (dir / "copy").c_str()));
  const std::string copied = dir / "copy" + file.substr((dir / "long").size());
  char buffer[8] = {};
  EXPECT_EQ(jx_name_file_read(copied.c_str(), buffer, sizeof(buffer)), 4);
  EXPECT_STREQ(buffer, "deep");

  EXPECT_TRUE(jx_folder_recursive_remove((dir / "long").c_str()));
  EXPECT_TRUE(jx_folder_recursive_remove((dir / "copy").c_str()));
  EXPECT_EQ(List(-1, dir.path(), dir.path()), Names{});
}

// A tree holding a link to a folder outside it and a link back to its own
// top: walks list the links but never go through them.
class FolderLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_ / "outside/keep.txt", "keep");
    WriteFile(dir_ / "tree/a.txt", "a");
    WriteFile(dir_ / "tree/sub/b.txt", "b");
    if (!jx::test::MakeFolderLink(dir_ / "tree/out", dir_ / "outside") ||
        !jx::test::MakeFolderLink(dir_ / "tree/sub/loop", dir_ / "tree")) {
      GTEST_SKIP() << "this system does not let the test make links";
    }
  }

  void ExpectOutsideIntact() {
    EXPECT_EQ(ReadFile(dir_ / "outside/keep.txt"), "keep");
    EXPECT_EQ(List(-1, dir_ / "outside", dir_ / "outside/"), Names{"keep.txt"});
  }

  TempDir dir_;
};

TEST_F(FolderLinks, ListingShowsLinksAsFoldersAndCopySkipsThem) {
  EXPECT_EQ(List(-1, dir_ / "tree", dir_ / "tree/"),
            (Names{"a.txt", "out/", "sub/", "sub/b.txt", "sub/loop/"}));
  EXPECT_TRUE(jx_folder_exist((dir_ / "tree/out").c_str()));
  EXPECT_TRUE(jx_folder_recursive_copy((dir_ / "tree").c_str(), (dir_ / "copy").c_str()));
  EXPECT_EQ(List(-1, dir_ / "copy", dir_ / "copy/"), (Names{"a.txt", "sub/", "sub/b.txt"}));
  ExpectOutsideIntact();
}

TEST_F(FolderLinks, CopyDoesNotWriteThroughALinkInTheDestination) {
  ASSERT_TRUE(jx_folder_create((dir_ / "dest").c_str()));
  ASSERT_TRUE(jx::test::MakeFolderLink(dir_ / "dest/sub", dir_ / "outside"));
  EXPECT_FALSE(jx_folder_recursive_copy((dir_ / "tree").c_str(), (dir_ / "dest").c_str()));
  EXPECT_EQ(ReadFile(dir_ / "dest/a.txt"), "a");
  ExpectOutsideIntact();
}

TEST_F(FolderLinks, RecursiveRemoveRemovesTheLinksNotTheirTargets) {
  EXPECT_TRUE(jx_folder_recursive_remove((dir_ / "tree").c_str()));
  EXPECT_FALSE(Exists(dir_ / "tree"));
  ExpectOutsideIntact();
}

TEST_F(FolderLinks, RemovingALinkRemovesOnlyTheLink) {
  EXPECT_TRUE(jx_folder_recursive_remove((dir_ / "tree/out/").c_str()));
  EXPECT_FALSE(Exists(dir_ / "tree/out"));
  ExpectOutsideIntact();
  EXPECT_TRUE(jx_folder_remove((dir_ / "tree/sub/loop").c_str()));  // one link, one call
  EXPECT_EQ(List(-1, dir_ / "tree", dir_ / "tree/"), (Names{"a.txt", "sub/", "sub/b.txt"}));
}

#ifndef _WIN32
// Entries that must never be opened or read: a FIFO nobody writes to, links
// to a device and to nowhere.
TEST(FolderSpecialEntries, CopySkipsThemAndRemoveTakesThem) {
  TempDir dir;
  WriteFile(dir / "tree/a.txt", "a");
  ASSERT_EQ(mkfifo((dir / "tree/pipe").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", (dir / "tree/zero").c_str()), 0);
  ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "tree/broken").c_str()), 0);
  EXPECT_EQ(List(1, dir / "tree", dir / "tree/"), (Names{"a.txt", "broken", "pipe", "zero"}));

  EXPECT_TRUE(jx_folder_recursive_copy((dir / "tree").c_str(), (dir / "copy").c_str()));
  EXPECT_EQ(List(1, dir / "copy", dir / "copy/"), Names{"a.txt"});
  EXPECT_FALSE(jx_file_copy((dir / "tree/zero").c_str(), (dir / "z").c_str()));
  EXPECT_EQ(ReadFile(dir / "z"), "");
  EXPECT_FALSE(jx_file_copy((dir / "tree/pipe").c_str(), (dir / "p").c_str()));

  EXPECT_TRUE(jx_folder_recursive_remove((dir / "tree").c_str()));
  EXPECT_FALSE(Exists(dir / "tree"));
  EXPECT_FALSE(Exists(dir / "nowhere"));
}

// Linux names are bytes: invalid UTF-8, and "\" which the path normaliser
// would read as a separator (here spelling a way out of the tree).
TEST(FolderSpecialEntries, NamesThatAreNotCleanUtf8PathsStayIntact) {
  TempDir dir;
  WriteFile(dir / "victim.txt", "safe");
  WriteFile(dir / "tree/in/\xFF\xFE.bin", "bytes");
  WriteFile(dir / "tree/in/..\\..\\victim.txt", "trap");
  EXPECT_EQ(List(-1, dir / "tree", dir / "tree/"),
            (Names{"in/", "in/..\\..\\victim.txt", "in/\xFF\xFE.bin"}));

  EXPECT_TRUE(jx_folder_recursive_copy((dir / "tree").c_str(), (dir / "copy").c_str()));
  EXPECT_EQ(ReadFile(dir / "copy/in/\xFF\xFE.bin"), "bytes");
  EXPECT_EQ(ReadFile(dir / "copy/in/..\\..\\victim.txt"), "trap");

  EXPECT_TRUE(jx_folder_recursive_remove((dir / "tree").c_str()));
  EXPECT_TRUE(jx_folder_recursive_remove((dir / "copy").c_str()));
  EXPECT_EQ(ReadFile(dir / "victim.txt"), "safe");
  EXPECT_EQ(List(-1, dir.path(), dir.path()), Names{"victim.txt"});
}

TEST(FolderSpecialEntries, RecursiveRemoveRefusesARootFolder) {
  // "C:/" is a root folder on Windows; here it would be a relative name.
  EXPECT_FALSE(jx_folder_recursive_remove("C:\\"));
}
#endif

}  // namespace
