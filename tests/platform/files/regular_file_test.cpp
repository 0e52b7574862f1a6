#include "platform/files/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class RegularFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "regular-file-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  std::string Write(const std::string& name, const std::string& contents) {
    const std::string path = directory_ + "/" + name;
    std::ofstream(path, std::ios::binary) << contents;
    return path;
  }

  std::string directory_;
};

TEST_F(RegularFileTest, ReadsBytesAtAnyOffset) {
  const platform::RegularFile file(Write("data", std::string("ab\0\r\ncd", 7)));
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Size(), 7);
  const struct {
    std::int64_t offset;
    std::size_t count;
    std::string expected;
  } cases[] = {
      {0, 7, std::string("ab\0\r\ncd", 7)},
      {3, 2, "\r\n"},
      {5, 10, "cd"},
      {7, 1, ""},
      {99, 1, ""},
      {-1, 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    std::string buffer(c.count, '?');
    const std::size_t got = file.ReadAt(c.offset, buffer.data(), c.count);
    EXPECT_EQ(buffer.substr(0, got), c.expected);
  }
}

TEST_F(RegularFileTest, RefusesWhatIsNotARegularFile) {
  const std::string fifo = directory_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string dangling = directory_ + "/dangling";
  ASSERT_EQ(symlink((directory_ + "/gone").c_str(), dangling.c_str()), 0);
  for (const std::string& path : {fifo, dangling, directory_, directory_ + "/missing",
                                  std::string("/dev/null"), std::string()}) {
    SCOPED_TRACE(path);
    const platform::RegularFile file(path);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Size(), 0);
    char byte = 0;
    EXPECT_EQ(file.ReadAt(0, &byte, 1), 0u);
  }
}

TEST_F(RegularFileTest, MovingHandsTheOpenFileOver) {
  platform::RegularFile first(Write("one", "1"));
  platform::RegularFile second(std::move(first));
  EXPECT_FALSE(first.IsOpen());  // NOLINT(bugprone-use-after-move): moved-from state is defined
  ASSERT_TRUE(second.IsOpen());
  platform::RegularFile third(Write("two", "22"));
  third = std::move(second);
  ASSERT_TRUE(third.IsOpen());
  EXPECT_EQ(third.Size(), 1);
  char byte = 0;
  EXPECT_EQ(third.ReadAt(0, &byte, 1), 1u);
  EXPECT_EQ(byte, '1');
}

TEST_F(RegularFileTest, OffsetsBeyondTwoGigabytesWork) {
  const std::string path = directory_ + "/sparse";
  const std::int64_t far = (std::int64_t{1} << 32) + 5;
  {
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(pwrite(descriptor, "far", 3, far), 3);
    close(descriptor);
  }
  const platform::RegularFile file(path);
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Size(), far + 3);
  char buffer[8] = {};
  ASSERT_EQ(file.ReadAt(far - 1, buffer, sizeof buffer), 4u);
  EXPECT_EQ(std::string(buffer, 4), std::string("\0far", 4));
}

}  // namespace
