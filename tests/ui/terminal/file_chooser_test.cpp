#include "ui/terminal/file_chooser.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/terminal/tmux_session.h"

namespace terminal {
namespace {

class FileChooserTest : public testing::Test {
 protected:
  void SetUp() override {
    tool_ = dir_.Write("tool", "#!/bin/sh\n");
    ::chmod(tool_.c_str(), 0755);
    dir_.Write("notes.txt", "text");
    dir_.Write("sub/inner", "x");
    dir_.Write(".hidden/x", "x");
  }

  static std::vector<std::string> Names(const FileChooser& chooser) {
    std::vector<std::string> names;
    for (const FileChooser::Entry& entry : chooser.Entries())
      names.push_back(entry.name);
    return names;
  }

  FileChooser ChooserIn(bool executablesOnly, std::vector<framework::FileFilter> filters = {}) {
    framework::OpenFileRequest request;
    request.initialFileName = dir_.Path() + "/";
    request.executablesOnly = executablesOnly;
    request.filters = std::move(filters);
    return FileChooser(request);
  }

  terminal_testing::ScratchDir dir_;
  std::string tool_;
};

TEST_F(FileChooserTest, ListsWhatTheRequestAsksFor) {
  struct Case {
    bool executablesOnly;
    std::vector<framework::FileFilter> filters;
    std::vector<std::string> names;
  } cases[] = {
      {true, {}, {"..", "sub", "tool"}},
      {false, {}, {"..", "sub", "notes.txt", "tool"}},
      {false, {{"Text", "*.TXT"}}, {"..", "sub", "notes.txt"}},
  };
  for (const Case& c : cases) {
    FileChooser chooser = ChooserIn(c.executablesOnly, c.filters);
    EXPECT_EQ(chooser.Directory(), dir_.Path());
    EXPECT_EQ(Names(chooser), c.names);
  }
}

TEST_F(FileChooserTest, EntersDirectoriesGoesUpAndPicksAFile) {
  FileChooser chooser = ChooserIn(true);
  chooser.Select(1);  // sub
  EXPECT_FALSE(chooser.Activate());
  EXPECT_EQ(chooser.Directory(), dir_.Path() + "/sub");
  EXPECT_EQ(Names(chooser), (std::vector<std::string>{".."}));

  chooser.Select(0);
  EXPECT_FALSE(chooser.Activate());  // ".." goes up and selects the directory left
  EXPECT_EQ(chooser.Directory(), dir_.Path());
  EXPECT_EQ(chooser.Selected(), 1);

  chooser.SelectByLetter('T');
  EXPECT_EQ(chooser.Activate(), tool_);
}

TEST_F(FileChooserTest, StartsAtTheInitialFileAndStopsAtTheRoot) {
  framework::OpenFileRequest request;
  request.initialFileName = tool_;
  request.executablesOnly = true;
  FileChooser chooser(request);
  EXPECT_EQ(chooser.Directory(), dir_.Path());
  ASSERT_GE(chooser.Selected(), 0);
  EXPECT_EQ(chooser.Entries()[static_cast<std::size_t>(chooser.Selected())].name, "tool");

  ASSERT_TRUE(chooser.Enter("/"));
  ASSERT_FALSE(chooser.Entries().empty());
  EXPECT_NE(chooser.Entries().front().name, "..");
  chooser.GoUp();
  EXPECT_EQ(chooser.Directory(), "/");
  EXPECT_FALSE(chooser.Enter(dir_.Path() + "/no such folder"));
  EXPECT_EQ(chooser.Directory(), "/");
}

}  // namespace
}  // namespace terminal
