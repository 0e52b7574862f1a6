#include "engine/directory_walker.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/platform/directory/temp_tree.h"

namespace {

std::vector<std::string> AllPaths(CDirectoryWalker& walker) {
  std::vector<std::string> paths;
  walker.Rewind();
  for (std::string path = walker.NextPath(); !path.empty(); path = walker.NextPath()) {
    paths.push_back(path);
  }
  return paths;
}

std::vector<std::string> Walk(const std::string& directory, const std::string& pattern,
                              bool searchSubdirectories = true) {
  CDirectoryWalker walker(directory, pattern, searchSubdirectories);
  return AllPaths(walker);
}

TEST(DirectoryWalkerTest, GoesBreadthFirstFilesBeforeTheLevelBelow) {
  testing_support::TempTree tree;
  tree.Directory("work");
  tree.Directory("work/src");
  tree.Directory("work/src/deep");
  tree.File("work/src/deep/c.c");
  tree.File("work/src/b.c");
  tree.File("work/a.c");
  tree.File("work/a.h");
  const std::string work = tree.Path("work");
  EXPECT_EQ(Walk(work, "*.c"),
            (std::vector<std::string>{work + "/a.c", work + "/src/b.c", work + "/src/deep/c.c"}));
}

// One tree holding every kind of entry the rules treat differently.
class DirectoryWalkerRulesTest : public testing::Test {
 protected:
  void SetUp() override {
    tree_.File("a.c");
    tree_.File("README");
    tree_.File(".hidden.c");
    tree_.File(".profile");
    tree_.File("\xC3\xA9");  // é in UTF-8
    tree_.File("\xE9");      // é in Latin-1: not UTF-8
    tree_.File("\xE9t\xE9.c");
    tree_.Directory("x.c");  // a directory named like the pattern
    tree_.File("x.c/inner.c");
    tree_.Directory("old.src");
    tree_.File("old.src/x.c");
    tree_.Directory("old.src/sub");
    tree_.File("old.src/sub/y.c");
    tree_.Directory("src");
    tree_.File("src/b.c");
    tree_.File("src/notes.txt");
    tree_.Directory("src/deep");
    tree_.File("src/deep/c.C");
    tree_.Link("file_link.c", "a.c");
    tree_.Link("dir_link", "src");
    tree_.Link("loop", ".");
    tree_.Link("dangling.c", "missing");
    tree_.Fifo("pipe.c");
  }

  std::set<std::string> Found(const std::string& pattern, bool searchSubdirectories = true) {
    std::vector<std::string> paths = Walk(tree_.Root(), pattern, searchSubdirectories);
    std::set<std::string> relative;
    for (const std::string& path : paths) {
      EXPECT_EQ(path.compare(0, tree_.Root().size() + 1, tree_.Root() + "/"), 0) << path;
      EXPECT_TRUE(relative.insert(path.substr(tree_.Root().size() + 1)).second)
          << "found twice: " << path;
    }
    return relative;
  }

  testing_support::TempTree tree_;
};

TEST_F(DirectoryWalkerRulesTest, FindsWhatThePatternSelects) {
  struct Case {
    const char* pattern;
    bool searchSubdirectories;
    std::set<std::string> expected;
  };
  const std::vector<Case> cases = {
      // No directory is a result, a directory with a period is not entered, links to
      // directories are not entered, links to files and other non-directories are
      // files, dot files are ordinary names, and case is ignored.
      {"*.c",
       true,
       {"a.c", ".hidden.c", "\xE9t\xE9.c", "file_link.c", "dangling.c", "pipe.c", "src/b.c",
        "src/deep/c.C"}},
      {"*.c", false, {"a.c", ".hidden.c", "\xE9t\xE9.c", "file_link.c", "dangling.c", "pipe.c"}},
      {"*.*",
       true,
       {"a.c", "README", ".hidden.c", ".profile", "\xC3\xA9", "\xE9", "\xE9t\xE9.c", "file_link.c",
        "dangling.c", "pipe.c", "src/b.c", "src/notes.txt", "src/deep/c.C"}},
      {"*.", true, {"README", "\xC3\xA9", "\xE9"}},
      {"readme", true, {"README"}},
      {"?", true, {"\xC3\xA9", "\xE9"}},  // one character whichever encoding
      {"\xE9t\xE9.*", true, {"\xE9t\xE9.c"}},
      {"*.txt", false, {}},
      {"", true, {}},
      {"nothing*", true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "pattern \"" << c.pattern << "\" subdirectories " << c.searchSubdirectories);
    EXPECT_EQ(Found(c.pattern, c.searchSubdirectories), c.expected);
  }
}

TEST_F(DirectoryWalkerRulesTest, SkipsAnUnreadableDirectoryAndGoesOn) {
  ASSERT_EQ(chmod(tree_.Path("src").c_str(), 0), 0);
  if (access(tree_.Path("src").c_str(), R_OK) == 0) {
    GTEST_SKIP() << "this user reads directories without read permission";
  }
  EXPECT_EQ(Found("*.c"), (std::set<std::string>{"a.c", ".hidden.c", "\xE9t\xE9.c", "file_link.c",
                                                 "dangling.c", "pipe.c"}));
}

TEST(DirectoryWalkerTest, StartDirectoryIsUsedAsGiven) {
  testing_support::TempTree tree;
  tree.Directory("real");
  tree.File("real/a.c");
  tree.Directory("real/sub");
  tree.File("real/sub/b.c");
  tree.Link("named_link", "real");

  struct Case {
    std::string directory;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      // A trailing separator is not doubled.
      {tree.Path("real/"), {tree.Path("real/a.c"), tree.Path("real/sub/b.c")}},
      // A link the user names as the start is followed; the paths keep its name.
      {tree.Path("named_link"), {tree.Path("named_link/a.c"), tree.Path("named_link/sub/b.c")}},
      {tree.Path("missing"), {}},
      {tree.Path("real/a.c"), {}},  // a file is no directory to search
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.directory);
    EXPECT_EQ(Walk(c.directory, "*.c"), c.expected);
  }
}

TEST(DirectoryWalkerTest, RelativeStartDirectoryGivesRelativePaths) {
  testing_support::TempTree tree;
  tree.Directory("sub");
  tree.File("sub/a.c");
  std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(tree.Root());
  std::vector<std::string> found = Walk(".", "*.c");
  std::filesystem::current_path(before);
  EXPECT_EQ(found, (std::vector<std::string>{"./sub/a.c"}));
}

TEST(DirectoryWalkerTest, RootJoinsWithoutDoubledSeparator) {
  std::vector<std::string> expected;
  for (const auto& entry : std::filesystem::directory_iterator("/")) {
    std::error_code error;
    if (!entry.is_directory(error)) {
      expected.push_back(entry.path().string());
    }
  }
  if (expected.empty()) {
    GTEST_SKIP() << "no files directly in /";
  }
  std::vector<std::string> found = Walk("/", "*", false);
  std::sort(found.begin(), found.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected);
  for (const std::string& path : found) {
    EXPECT_EQ(path.rfind('/'), 0u) << path;
  }
}

TEST(DirectoryWalkerTest, FindsFilesBelowPathsLongerThanOneSystemCallTakes) {
  testing_support::TempTree tree;
  tree.Directory("top");
  const std::string component(200, 'd');
  const int depth = PATH_MAX / 200 + 3;
  std::string deepest = tree.DeepDirectories("top", component, depth);
  tree.FileDeepDown("top", component, depth, "bottom.c");
  std::vector<std::string> found = Walk(tree.Path("top"), "*.c");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0], deepest + "/bottom.c");
  EXPECT_GT(found[0].size(), static_cast<std::size_t>(PATH_MAX));
}

TEST(DirectoryWalkerTest, EndSignalRepeatsAndRewindStartsAgain) {
  testing_support::TempTree tree;
  tree.File("one.c");
  tree.File("two.c");
  CDirectoryWalker walker(tree.Root(), "*.c");
  std::vector<std::string> first = AllPaths(walker);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(walker.NextPath(), "");
  EXPECT_EQ(walker.NextPath(), "");
  EXPECT_EQ(AllPaths(walker), first);
  EXPECT_EQ(walker.Count(), 2u);
  EXPECT_EQ(walker.PathBytes(), first[0].size() + first[1].size());

  CDirectoryWalker empty(tree.Root(), "*.h");
  EXPECT_EQ(empty.NextPath(), "");
  EXPECT_EQ(empty.NextPath(), "");
  EXPECT_EQ(empty.Count(), 0u);
}

// An independent breadth-first listing with the same rules, by the standard library.
std::vector<std::string> ReferenceWalk(const std::string& start,
                                       bool (*selects)(const std::string&),
                                       std::vector<std::size_t>* levelSizes) {
  std::vector<std::string> results;
  std::vector<std::string> level = {start};
  while (!level.empty()) {
    std::vector<std::string> nextLevel;
    std::size_t before = results.size();
    for (const std::string& directory : level) {
      for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        std::string name = entry.path().filename().string();
        bool isLink = entry.is_symlink();
        bool isDirectory = entry.is_directory();  // follows links
        if (isDirectory && !isLink) {
          if (name.find('.') == std::string::npos) {
            nextLevel.push_back(directory + "/" + name);
          }
        } else if (!isDirectory && selects(name)) {
          results.push_back(directory + "/" + name);
        }
      }
    }
    levelSizes->push_back(results.size() - before);
    level = std::move(nextLevel);
  }
  return results;
}

bool EndsWithDotCIgnoringCase(const std::string& name) {
  return name.size() >= 2 && name[name.size() - 2] == '.' &&
         std::tolower(static_cast<unsigned char>(name.back())) == 'c';
}

bool AnyName(const std::string&) {
  return true;
}

TEST(DirectoryWalkerTest, AgreesWithIndependentListingOfGeneratedTree) {
  testing_support::TempTree tree;
  // A deterministic tree: fan-out varies with the index, every fifth directory has
  // a period, and links to files and directories are spread through it.
  const char* const kExtensions[] = {".c", ".C", ".h", ".txt", "", ".cpp", ".c.bak"};
  std::vector<std::string> directories = {""};
  for (std::size_t i = 0; i < directories.size() && directories.size() < 200; ++i) {
    int children = static_cast<int>(i % 4) + 1;
    for (int k = 0; k < children; ++k) {
      std::string name =
          "d" + std::to_string(directories.size()) + (directories.size() % 5 == 0 ? ".v" : "");
      std::string relative = directories[i].empty() ? name : directories[i] + "/" + name;
      tree.Directory(relative);
      directories.push_back(relative);
    }
  }
  int fileNumber = 0;
  for (const std::string& directory : directories) {
    std::string prefix = directory.empty() ? "" : directory + "/";
    for (int k = 0; k < 4; ++k, ++fileNumber) {
      tree.File(prefix + "f" + std::to_string(fileNumber) + kExtensions[fileNumber % 7]);
    }
    if (fileNumber % 11 == 0) {
      tree.Link(prefix + "link" + std::to_string(fileNumber) + ".c", "/etc/hostname");
      tree.Link(prefix + "dirlink" + std::to_string(fileNumber), tree.Root());
    }
  }

  struct Case {
    const char* pattern;
    bool (*selects)(const std::string&);
  };
  for (const Case& c : {Case{"*.c", EndsWithDotCIgnoringCase}, Case{"*", AnyName}}) {
    SCOPED_TRACE(c.pattern);
    std::vector<std::size_t> levelSizes;
    std::vector<std::string> expected = ReferenceWalk(tree.Root(), c.selects, &levelSizes);
    ASSERT_GT(levelSizes.size(), 4u);
    ASSERT_GT(expected.size(), 100u);
    std::vector<std::string> found = Walk(tree.Root(), c.pattern);
    EXPECT_EQ(std::set<std::string>(found.begin(), found.end()),
              std::set<std::string>(expected.begin(), expected.end()));
    // Level by level, in the order the file system lists each directory.
    EXPECT_EQ(found, expected);
  }
}

}  // namespace
