#include "platform/directory/directory_reader.h"

#include <gtest/gtest.h>
#include <limits.h>

#include <map>
#include <string>
#include <vector>

#include "tests/platform/directory/temp_tree.h"

namespace {

using platform::DirectoryEntry;
using platform::DirectoryReader;
using platform::EntryKind;

std::map<std::string, EntryKind> ListKinds(const std::string& path) {
  DirectoryReader reader;
  std::map<std::string, EntryKind> kinds;
  if (!reader.Open(path)) {
    ADD_FAILURE() << "cannot open " << path;
    return kinds;
  }
  DirectoryEntry entry;
  while (reader.Next(entry)) {
    EXPECT_TRUE(kinds.emplace(std::string(entry.name), reader.KindOf(entry)).second)
        << "listed twice: " << entry.name;
  }
  return kinds;
}

TEST(DirectoryReaderTest, ListsEveryEntryOnceWithWhatAWalkTakesItFor) {
  testing_support::TempTree tree;
  tree.File("plain.txt");
  tree.File(".hidden");
  tree.File("\xE9t\xE9");  // not UTF-8: kept as the bytes it is
  tree.Directory("sub");
  tree.Directory("with.period");
  tree.Link("to_file", "plain.txt");
  tree.Link("to_dir", "sub");
  tree.Link("to_self", ".");
  tree.Link("dangling", "missing");
  tree.Link("loop_a", "loop_b");
  tree.Link("loop_b", "loop_a");
  tree.Fifo("pipe");

  std::map<std::string, EntryKind> expected = {
      {"plain.txt", EntryKind::kFile},        {".hidden", EntryKind::kFile},
      {"\xE9t\xE9", EntryKind::kFile},        {"sub", EntryKind::kDirectory},
      {"with.period", EntryKind::kDirectory}, {"to_file", EntryKind::kFile},
      {"to_dir", EntryKind::kNeither},        {"to_self", EntryKind::kNeither},
      {"dangling", EntryKind::kFile},         {"loop_a", EntryKind::kFile},
      {"loop_b", EntryKind::kFile},           {"pipe", EntryKind::kFile},
  };
  EXPECT_EQ(ListKinds(tree.Root()), expected);
}

TEST(DirectoryReaderTest, ListsDirectoriesLargerThanOneRead) {
  testing_support::TempTree tree;
  const std::string padding(200, 'x');
  constexpr int kCount = 1500;  // about 300 KB of records
  for (int i = 0; i < kCount; ++i) {
    tree.File(std::to_string(i) + padding);
  }
  std::map<std::string, EntryKind> kinds = ListKinds(tree.Root());
  ASSERT_EQ(kinds.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(kinds.count(std::to_string(i) + padding), 1u) << i;
  }
}

TEST(DirectoryReaderTest, ReusedReaderStartsEachDirectoryAfresh) {
  testing_support::TempTree tree;
  tree.Directory("one");
  tree.File("one/a");
  tree.Directory("two");
  tree.File("two/b");
  DirectoryReader reader;
  DirectoryEntry entry;
  ASSERT_TRUE(reader.Open(tree.Path("one")));
  ASSERT_TRUE(reader.Next(entry));
  EXPECT_EQ(entry.name, "a");
  ASSERT_TRUE(reader.Open(tree.Path("two")));
  ASSERT_TRUE(reader.Next(entry));
  EXPECT_EQ(entry.name, "b");
  EXPECT_FALSE(reader.Next(entry));
  EXPECT_FALSE(reader.Next(entry));
}

TEST(DirectoryReaderTest, OpenFailsOnWhatIsNoReadableDirectory) {
  testing_support::TempTree tree;
  tree.File("file");
  tree.Directory("real");
  tree.Link("link", "real");
  DirectoryReader reader;
  DirectoryEntry entry;
  EXPECT_FALSE(reader.Open(""));
  EXPECT_FALSE(reader.Open(tree.Path("missing")));
  EXPECT_FALSE(reader.Open(tree.Path("file")));
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_FALSE(reader.Next(entry));
  // A link is followed only where the caller allows it.
  EXPECT_TRUE(reader.Open(tree.Path("link")));
  EXPECT_FALSE(reader.Open(tree.Path("link"), tree.Root().size()));
  EXPECT_TRUE(reader.Open(tree.Path("real"), tree.Root().size()));
}

TEST(DirectoryReaderTest, OpensPathsLongerThanOneSystemCallTakes) {
  testing_support::TempTree tree;
  tree.Directory("top");
  const std::string component(200, 'd');
  const int depth = PATH_MAX / 200 + 3;
  std::string deepest = tree.DeepDirectories("top", component, depth);
  ASSERT_GT(deepest.size(), static_cast<std::size_t>(PATH_MAX));
  tree.FileDeepDown("top", component, depth, "bottom.c");

  DirectoryReader reader;
  ASSERT_TRUE(reader.Open(deepest));
  DirectoryEntry entry;
  ASSERT_TRUE(reader.Next(entry));
  EXPECT_EQ(entry.name, "bottom.c");
  EXPECT_EQ(reader.KindOf(entry), EntryKind::kFile);
  EXPECT_FALSE(reader.Next(entry));
  // Past the start, components are still not followed when they are links.
  tree.Link("shortcut", "top");
  std::string throughLink = tree.Path("shortcut") + deepest.substr(tree.Path("top").size());
  EXPECT_TRUE(reader.Open(throughLink));
  EXPECT_FALSE(reader.Open(throughLink, tree.Root().size()));
}

}  // namespace
