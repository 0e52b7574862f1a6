#include "platform/settings/settings_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "tests/support/scoped_environment.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSection = "Software\\Quenlith\\morvel\\Find Files Dialog";

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

using testing_support::ScopedEnvironment;

// Direct access to the database, to look at what the store wrote and to plant
// values the store itself would never write.
class RawDatabase {
 public:
  explicit RawDatabase(const std::string& path) {
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  }
  ~RawDatabase() { sqlite3_close_v2(db_); }

  void Execute(const std::string& sql) {
    ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db_);
  }
  // Every row of the query, columns joined by '|'; blobs come out as their bytes.
  std::vector<std::string> Rows(const std::string& sql) {
    std::vector<std::string> rows;
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db_);
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
      std::string row;
      for (int column = 0; column < sqlite3_column_count(statement); ++column) {
        if (column > 0) {
          row += '|';
        }
        const char* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
        row.append(bytes ? bytes : "",
                   static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
      }
      rows.push_back(row);
    }
    sqlite3_finalize(statement);
    return rows;
  }
  void InsertValue(const std::string& key, const std::string& name, int type,
                   const std::string& data) {
    Execute("INSERT OR IGNORE INTO key (path) VALUES ('" + key + "')");
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db_, "INSERT OR REPLACE INTO value VALUES (?1, ?2, ?3, ?4)", -1,
                                 &statement, nullptr),
              SQLITE_OK);
    sqlite3_bind_text(statement, 1, key.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(statement, 3, type);
    sqlite3_bind_blob(statement, 4, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE);
    sqlite3_finalize(statement);
  }
  sqlite3* Get() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/morvel-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    ::setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    databasePath_ = SettingsStore::DefaultDatabasePath("Quenlith");
  }
  void TearDown() override {
    // Tests take write permission away; give it back so everything can go.
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(root_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(root_, ignored);
  }

  ScopedEnvironment savedConfigHome_{"XDG_CONFIG_HOME"};
  std::string root_;
  std::string databasePath_;
};

TEST(SettingsStorePathTest, FollowsXdgConfigHomeOnlyWhenAbsolute) {
  ScopedEnvironment savedConfigHome("XDG_CONFIG_HOME");
  ScopedEnvironment savedHome("HOME");
  struct Case {
    const char* configHome;  // nullptr: unset
    const char* home;
    std::string expected;
  };
  const Case cases[] = {
      {"/cfg", "/home/u", "/cfg/Quenlith/registry.sqlite"},
      {"/cfg/", "/home/u", "/cfg/Quenlith/registry.sqlite"},
      {nullptr, "/home/u", "/home/u/.config/Quenlith/registry.sqlite"},
      {"", "/home/u/", "/home/u/.config/Quenlith/registry.sqlite"},
      {"relative/cfg", "/home/u", "/home/u/.config/Quenlith/registry.sqlite"},
      {nullptr, "", ""},
  };
  for (const Case& c : cases) {
    if (c.configHome) {
      ::setenv("XDG_CONFIG_HOME", c.configHome, 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
    ::setenv("HOME", c.home, 1);
    EXPECT_EQ(SettingsStore::DefaultDatabasePath("Quenlith"), c.expected)
        << "XDG_CONFIG_HOME=" << (c.configHome ? c.configHome : "(unset)") << " HOME=" << c.home;
  }
}

TEST_F(SettingsStoreTest, StringsAndIntegersRoundTripInTheDocumentedFormat) {
  SettingsStore store(databasePath_);
  const std::string strings[] = {"", "C:\\dir with spaces", "/srv/\xE4\xFF\x01 data", "x"};
  for (const std::string& value : strings) {
    ASSERT_TRUE(store.WriteString(kSection, "Search Directory", value));
    EXPECT_EQ(store.ReadString(kSection, "Search Directory"), value);
  }
  const std::int32_t integers[] = {0, 1, -1, INT32_MIN, INT32_MAX, 0x12345678};
  for (std::int32_t value : integers) {
    ASSERT_TRUE(store.WriteInt(kSection, "Subdirectory Flag", value));
    EXPECT_EQ(store.ReadInt(kSection, "Subdirectory Flag"), value);
  }

  // Other tools read this schema: a string is its bytes and a zero byte with type 1,
  // an integer four little-endian bytes with type 4.
  RawDatabase raw(databasePath_);
  EXPECT_EQ(
      raw.Rows("SELECT key, name, type, data FROM value ORDER BY name"),
      (std::vector<std::string>{
          std::string(kSection) + "|Search Directory|1|x" + std::string(1, '\0'),
          std::string(kSection) + "|Subdirectory Flag|4|" + std::string("\x78\x56\x34\x12", 4),
      }));
}

TEST_F(SettingsStoreTest, ReadOfMissingValueCreatesTheKeyAndItsAncestorsOnly) {
  SettingsStore store(databasePath_);
  EXPECT_EQ(store.ReadString(kSection, "Search Directory"), std::nullopt);
  EXPECT_EQ(store.ReadInt("Software\\Quenlith\\morvel\\List Files Dialog", "Editor"), std::nullopt);

  RawDatabase raw(databasePath_);
  EXPECT_EQ(
      raw.Rows("SELECT path FROM key ORDER BY path"),
      (std::vector<std::string>{"Software", "Software\\Quenlith", "Software\\Quenlith\\morvel",
                                "Software\\Quenlith\\morvel\\Find Files Dialog",
                                "Software\\Quenlith\\morvel\\List Files Dialog"}));
  EXPECT_TRUE(raw.Rows("SELECT * FROM value").empty());
}

TEST_F(SettingsStoreTest, RewritingReplacesTheValueWhateverItsType) {
  SettingsStore store(databasePath_);
  ASSERT_TRUE(store.WriteString(kSection, "Search Pattern", "first"));
  ASSERT_TRUE(store.WriteString(kSection, "Search Pattern", "second"));
  EXPECT_EQ(store.ReadString(kSection, "Search Pattern"), "second");
  ASSERT_TRUE(store.WriteInt(kSection, "Search Pattern", 7));
  EXPECT_EQ(store.ReadInt(kSection, "Search Pattern"), 7);
  RawDatabase raw(databasePath_);
  EXPECT_EQ(raw.Rows("SELECT type FROM value"), std::vector<std::string>{"4"});
}

TEST_F(SettingsStoreTest, StringValueEndsAtItsFirstZeroByte) {
  SettingsStore store(databasePath_);
  ASSERT_TRUE(store.WriteString(kSection, "Search Pattern", std::string("ab\0cd", 5)));
  EXPECT_EQ(store.ReadString(kSection, "Search Pattern"), "ab");
  RawDatabase raw(databasePath_);
  EXPECT_EQ(raw.Rows("SELECT data FROM value"), std::vector<std::string>{std::string("ab\0", 3)});
}

TEST_F(SettingsStoreTest, ReadTakesTheDataAsAskedWhenItFitsAndIgnoresTheType) {
  {
    SettingsStore store(databasePath_);
    ASSERT_TRUE(store.WriteInt(kSection, "setup", 0));  // creates the database
  }
  struct Case {
    std::string data;
    int type;
    std::optional<std::string> asString;
    std::optional<std::int32_t> asInt;
  };
  const std::vector<Case> cases = {
      {std::string("\x01\x02\x03", 3), 4, std::nullopt, std::nullopt},
      {std::string("\x01\x00\x00\x00\x00", 5), 4, "\x01", std::nullopt},
      {"no zero byte", 1, std::nullopt, std::nullopt},
      {"", 1, std::nullopt, std::nullopt},
      {std::string("abc\0def", 7), 1, "abc", std::nullopt},
      {std::string("ab\0\0", 4), 1, "ab", 0x6261},
      {std::string("\x05\x00\x00\x00", 4), 4, "\x05", 5},
      {std::string("\xFF\xFF\xFF\xFF", 4), 7, std::nullopt, -1},
  };
  RawDatabase raw(databasePath_);
  SettingsStore store(databasePath_);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    std::string name = "value " + std::to_string(i);
    raw.InsertValue(kSection, name, cases[i].type, cases[i].data);
    EXPECT_EQ(store.ReadString(kSection, name), cases[i].asString) << name;
    EXPECT_EQ(store.ReadInt(kSection, name), cases[i].asInt) << name;
  }
}

TEST_F(SettingsStoreTest, TwoStoresOnOneFileSeeEachOthersWrites) {
  SettingsStore first(databasePath_);
  SettingsStore second(databasePath_);
  ASSERT_TRUE(first.WriteString(kSection, "Search Directory", "/one"));
  EXPECT_EQ(second.ReadString(kSection, "Search Directory"), "/one");
  ASSERT_TRUE(second.WriteString(kSection, "Search Directory", "/two"));
  EXPECT_EQ(first.ReadString(kSection, "Search Directory"), "/two");
}

TEST_F(SettingsStoreTest, WriteWaitsForAnotherCopysTransaction) {
  SettingsStore store(databasePath_);
  ASSERT_TRUE(store.WriteInt(kSection, "Ignore Case Flag", 0));
  RawDatabase otherCopy(databasePath_);
  otherCopy.Execute("BEGIN EXCLUSIVE");
  std::thread finisher([&otherCopy] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(otherCopy.Get(), "COMMIT", nullptr, nullptr, nullptr);
  });
  bool written = store.WriteInt(kSection, "Ignore Case Flag", 1);
  finisher.join();
  EXPECT_TRUE(written);
  EXPECT_EQ(store.ReadInt(kSection, "Ignore Case Flag"), 1);
}

// Stores that cannot be used: every read gives nullopt, every write is refused,
// one line on standard error says so, and nothing on disk changes.
class UnusableSettingsStoreTest : public SettingsStoreTest {
 protected:
  void ExpectUnusableAndUntouched(const std::string& databasePath, const std::string& watchedFile) {
    std::string before = ReadFileBytes(watchedFile);
    std::vector<fs::path> filesBefore = FilesUnderRoot();

    ::testing::internal::CaptureStderr();
    SettingsStore store(databasePath);
    EXPECT_EQ(store.ReadString(kSection, "Search Directory"), std::nullopt);
    EXPECT_EQ(store.ReadInt(kSection, "Subdirectory Flag"), std::nullopt);
    EXPECT_FALSE(store.WriteString(kSection, "Search Directory", "/x"));
    EXPECT_FALSE(store.WriteInt(kSection, "Subdirectory Flag", 1));
    EXPECT_EQ(store.ReadString(kSection, "Search Directory"), std::nullopt);
    std::string errors = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(ReadFileBytes(watchedFile), before);
    EXPECT_EQ(FilesUnderRoot(), filesBefore);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find("morvel: settings store " + databasePath), std::string::npos) << errors;
    EXPECT_NE(errors.find("settings will not be saved"), std::string::npos) << errors;
  }

  std::vector<fs::path> FilesUnderRoot() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  static std::string RandomBytes(std::size_t count) {
    std::mt19937 generator(20240607);
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
      byte = static_cast<char>(generator() & 0xFF);
    }
    return bytes;
  }
};

TEST_F(UnusableSettingsStoreTest, CorruptFilesAreNeverChanged) {
  const std::string contents[] = {
      RandomBytes(4096),
      std::string("SQLite format 3\0", 16) + RandomBytes(4080),
      "plain text settings\n",
  };
  fs::create_directories(fs::path(databasePath_).parent_path());
  for (std::size_t i = 0; i < std::size(contents); ++i) {
    const std::string& content = contents[i];
    std::string path = databasePath_ + "." + std::to_string(i);
    WriteFileBytes(path, content);
    SCOPED_TRACE(path);
    ExpectUnusableAndUntouched(path, path);
  }
}

TEST_F(UnusableSettingsStoreTest, DatabaseOfAnotherProgramIsNeverChanged) {
  fs::create_directories(fs::path(databasePath_).parent_path());
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(databasePath_.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes (text TEXT)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  ExpectUnusableAndUntouched(databasePath_, databasePath_);
}

TEST_F(UnusableSettingsStoreTest, ConfigHomeThatIsAFileIsNeverChanged) {
  std::string notADirectory = root_ + "/file";
  WriteFileBytes(notADirectory, "keep me");
  ::setenv("XDG_CONFIG_HOME", notADirectory.c_str(), 1);
  ExpectUnusableAndUntouched(SettingsStore::DefaultDatabasePath("Quenlith"), notADirectory);
}

TEST_F(UnusableSettingsStoreTest, DatabasePathThatIsADirectoryIsRefused) {
  fs::create_directories(databasePath_);
  WriteFileBytes(databasePath_ + "/inside", "keep me");
  ExpectUnusableAndUntouched(databasePath_, databasePath_ + "/inside");
}

TEST_F(UnusableSettingsStoreTest, UnwritableDirectoryGetsNoDatabase) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "permissions do not bind root";
  }
  std::string watched = root_ + "/watched";
  WriteFileBytes(watched, "keep me");
  fs::permissions(root_, fs::perms::owner_read | fs::perms::owner_exec);
  ExpectUnusableAndUntouched(databasePath_, watched);
}

// Write-protected: the database file itself, or the folder where SQLite would put
// its journal.
class WriteProtectedSettingsStoreTest : public SettingsStoreTest,
                                        public ::testing::WithParamInterface<bool> {};

INSTANTIATE_TEST_SUITE_P(FileOrFolder, WriteProtectedSettingsStoreTest, ::testing::Bool());

TEST_P(WriteProtectedSettingsStoreTest, StoredValuesAreReadButNeverWritten) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "permissions do not bind root";
  }
  {
    SettingsStore store(databasePath_);
    ASSERT_TRUE(store.WriteString(kSection, "Search Directory", "/kept"));
  }
  bool protectFolder = GetParam();
  fs::permissions(protectFolder ? fs::path(databasePath_).parent_path() : fs::path(databasePath_),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  std::string before = ReadFileBytes(databasePath_);
  ::testing::internal::CaptureStderr();
  SettingsStore store(databasePath_);
  EXPECT_EQ(store.ReadString(kSection, "Search Directory"), "/kept");
  EXPECT_EQ(store.ReadString("Software\\Quenlith\\other", "x"), std::nullopt);
  EXPECT_FALSE(store.WriteString(kSection, "Search Directory", "/new"));
  std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(store.ReadString(kSection, "Search Directory"), "/kept");
  EXPECT_EQ(ReadFileBytes(databasePath_), before);
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

}  // namespace
}  // namespace platform
