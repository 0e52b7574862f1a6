#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Per-user settings kept in one SQLite database as a tree of backslash-separated
// key paths holding named string and 32-bit integer values.
//
// The store holds nothing in memory but the database path: every call opens the
// database, runs one transaction and closes it again, so two running copies of the
// program share the values and the last writer wins value by value. A database that
// cannot be opened, is not a database, or belongs to something else is never
// changed: reads give nullopt, writes return false, and one line on standard error
// says so (once per path for the life of the process).
class SettingsStore {
 public:
  // ${XDG_CONFIG_HOME:-$HOME/.config}/<registryKey>/registry.sqlite, where
  // XDG_CONFIG_HOME counts only when set and absolute. Empty when no home is known.
  static std::string DefaultDatabasePath(std::string_view registryKey);

  explicit SettingsStore(std::string databasePath);

  const std::string& DatabasePath() const { return databasePath_; }

  // keyPath is a backslash-separated key path such as
  // "Software\\Quenlith\\morvel\\Find Files Dialog"; empty components are ignored.
  // Reads create the missing keys (every ancestor too). The stored type is not
  // examined: a string read takes the bytes before the first zero byte, an integer
  // read takes data of exactly 4 bytes, little-endian; anything else is nullopt.
  std::optional<std::string> ReadString(std::string_view keyPath, std::string_view name);
  std::optional<std::int32_t> ReadInt(std::string_view keyPath, std::string_view name);

  // A string value ends at its first zero byte. Both return false when nothing was
  // stored.
  bool WriteString(std::string_view keyPath, std::string_view name, std::string_view value);
  bool WriteInt(std::string_view keyPath, std::string_view name, std::int32_t value);

 private:
  std::optional<std::string> ReadData(std::string_view keyPath, std::string_view name);
  bool WriteData(std::string_view keyPath, std::string_view name, int type, std::string_view data);

  std::string databasePath_;
};

}  // namespace platform
