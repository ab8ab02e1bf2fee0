#include "base/jx_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/jx_file.h"
#include "support/jx_test_support.h"

namespace {

using jx::test::ReadFile;
using jx::test::WriteFile;
using Names = std::vector<std::string>;

// The sorted listing of `folder` (made in a pool already in use), each entry
// without the folder's own prefix.
Names List(const std::string& folder) {
  jx_mem_pool_t pool = jx_mem_pool_create(1024);
  jx_mem_pool_malloc(pool, 3);  // leaves the pool off alignment
  const jx_folder_listing listing = jx_folder_enumerate_all(-1, folder.c_str(), pool);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(listing.entries) % alignof(char*), 0u);
  Names names(listing.entries, listing.entries + listing.count);
  jx_mem_pool_destory(pool);
  for (std::string& name : names) name.erase(0, folder.size() + 1);
  std::sort(names.begin(), names.end());
  return names;
}

bool Exists(const std::string& path) {
  return jx_file_exist(path.c_str()) || jx_folder_exist(path.c_str());
}

TEST(Folder, CallsOnWrongPathsGiveTheirFailureResults) {
  jx::test::TempDir dir;
  WriteFile(dir / "f.txt", "x");
  WriteFile(dir / "a/x.txt", "x");
  const std::string f = dir / "f.txt", a = dir / "a", m = dir / "m";
  EXPECT_TRUE(jx_folder_exist(dir.path().c_str()));
  EXPECT_FALSE(jx_folder_exist(f.c_str()) || jx_folder_exist(m.c_str()));
  EXPECT_FALSE(jx_folder_create(a.c_str()) || jx_folder_create((m + "/y").c_str()));
  EXPECT_FALSE(jx_folder_remove(a.c_str()) || jx_folder_recursive_create((f + "/y").c_str()));
  EXPECT_TRUE(jx_folder_remove(f.c_str()) && jx_file_exist(f.c_str()));  // not a folder: kept
  EXPECT_TRUE(jx_folder_recursive_create("") && jx_folder_recursive_remove(m.c_str()));
  for (const char* empty : {static_cast<const char*>(nullptr), "", "./"}) {
    EXPECT_FALSE(jx_folder_exist(empty) || jx_folder_create(empty) || jx_folder_remove(empty) ||
                 jx_folder_recursive_remove(empty) || jx_folder_rename(a.c_str(), empty) ||
                 jx_file_rename(f.c_str(), empty));
  }
  EXPECT_FALSE(jx_folder_rename(a.c_str(), dir.path().c_str()) ||  // never merges
               jx_folder_rename(f.c_str(), m.c_str()) || jx_folder_rename(m.c_str(), a.c_str()));
  EXPECT_FALSE(jx_folder_recursive_remove("C:\\"));  // a root on Windows, relative here
  EXPECT_FALSE(jx_folder_recursive_copy(m.c_str(), (dir / "c").c_str()) || Exists(dir / "c"));
  EXPECT_FALSE(jx_file_copy(f.c_str(), f.c_str()) || jx_file_copy(m.c_str(), (m + "2").c_str()));
  for (const std::string& taken : {f, a + "/x.txt", a, a + "/"}) {
    EXPECT_FALSE(jx_file_rename(f.c_str(), taken.c_str())) << taken;
  }
  EXPECT_FALSE(jx_file_rename(a.c_str(), m.c_str()) || Exists(m) || Exists(m + "2"));
  EXPECT_TRUE(jx_folder_rename(a.c_str(), (dir / "new/parents/a2/").c_str()));
  EXPECT_TRUE(jx_file_rename(f.c_str(), (dir / "new\\for it/f.txt").c_str()));
  EXPECT_EQ(List(dir / "new"),
            (Names{"for it/", "for it/f.txt", "parents/", "parents/a2/", "parents/a2/x.txt"}));
}

// A link to a folder outside the tree and one back to its top: walks list
// the links but never go through them.
TEST(FolderLinks, WalksListLinksButNeverGoThroughThem) {
  jx::test::TempDir dir;
  WriteFile(dir / "outside/keep.txt", "keep");
  WriteFile(dir / "tree/sub/b.txt", "b");
  ASSERT_TRUE(jx_folder_create((dir / "dest").c_str()));
  if (!jx::test::MakeFolderLink(dir / "tree/out", dir / "outside") ||
      !jx::test::MakeFolderLink(dir / "tree/sub/loop", dir / "tree") ||
      !jx::test::MakeFolderLink(dir / "dest/sub", dir / "outside")) {
    GTEST_SKIP() << "this system does not let the test make links";
  }
  EXPECT_EQ(List(dir / "tree"), (Names{"out/", "sub/", "sub/b.txt", "sub/loop/"}));
  EXPECT_TRUE(jx_folder_recursive_copy((dir / "tree").c_str(), (dir / "copy").c_str()));
  EXPECT_EQ(List(dir / "copy"), (Names{"sub/", "sub/b.txt"}));
  EXPECT_FALSE(jx_folder_recursive_copy((dir / "tree").c_str(), (dir / "dest").c_str()));
  EXPECT_TRUE(jx_folder_recursive_remove((dir / "tree/out/").c_str()));
  EXPECT_TRUE(jx_folder_remove((dir / "tree/sub/loop").c_str()));
  EXPECT_EQ(List(dir / "tree"), (Names{"sub/", "sub/b.txt"}));
  EXPECT_TRUE(jx::test::MakeFolderLink(dir / "tree/out", dir / "outside"));
  EXPECT_TRUE(jx_folder_recursive_remove((dir / "tree").c_str()));
  EXPECT_FALSE(Exists(dir / "tree"));
  EXPECT_EQ(List(dir / "outside"), Names{"keep.txt"});
}

#ifndef _WIN32
// Entries never to be opened (a FIFO nobody writes to, links to a device and
// to nowhere) and names that are not clean UTF-8 paths ("\" would read as a
// separator, here spelling a way out of the tree).
TEST(FolderSpecialEntries, CopySkipsOrKeepsThemIntactAndRemoveTakesThem) {
  jx::test::TempDir dir;
  WriteFile(dir / "victim.txt", "safe");
  WriteFile(dir / "tree/\xFF\xFE \xC3\xA9.bin", "bytes");
  WriteFile(dir / "tree/..\\victim.txt", "trap");
  ASSERT_TRUE(jx::test::MakeFifo(dir / "tree/pipe"));
  ASSERT_TRUE(jx::test::MakeLink(dir / "tree/zero", "/dev/zero"));
  ASSERT_TRUE(jx::test::MakeLink(dir / "tree/broken", dir / "nowhere"));
  EXPECT_EQ(List(dir / "tree"),
            (Names{"..\\victim.txt", "broken", "pipe", "zero", "\xFF\xFE \xC3\xA9.bin"}));
  EXPECT_TRUE(jx_folder_recursive_copy((dir / "tree").c_str(), (dir / "copy").c_str()));
  EXPECT_EQ(List(dir / "copy"), (Names{"..\\victim.txt", "\xFF\xFE \xC3\xA9.bin"}));
  EXPECT_EQ(ReadFile(dir / "copy/..\\victim.txt"), "trap");
  for (const char* special : {"zero", "pipe"}) {
    EXPECT_FALSE(jx_file_copy((dir / "tree/" + special).c_str(), (dir / special).c_str()));
  }
  EXPECT_TRUE(jx_folder_recursive_remove((dir / "tree").c_str()) &&
              jx_folder_recursive_remove((dir / "copy").c_str()));
  EXPECT_EQ(List(dir.path().substr(0, dir.path().size() - 1)),
            (Names{"pipe", "victim.txt", "zero"}));  // left empty
  EXPECT_EQ(ReadFile(dir / "victim.txt") + ReadFile(dir / "zero") + ReadFile(dir / "pipe"), "safe");
}
#endif

}  // namespace
