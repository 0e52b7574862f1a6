#include "tests/criteria/settings_fixture.h"

#include <sqlite3.h>

#include <cstring>

#include "platform/settings/settings_store.h"

namespace criteria_tests {

testing_support::ScriptRun SettingsFixture::Run(const std::string& script) const {
  return testing_support::RunScript(script, {config.Path(), {}, tree.Path(), {}});
}

void SettingsFixture::PutString(const std::string& name, const std::string& value,
                                const std::string& key) const {
  platform::SettingsStore store(DatabasePath());
  ASSERT_TRUE(store.WriteString(key, name, value));
}

namespace {

template <typename Row>
void Query(const std::string& database, const char* sql, const std::string& parameter, Row row) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return;
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
    if (!parameter.empty()) {
      sqlite3_bind_text(statement, 1, parameter.c_str(), -1, SQLITE_TRANSIENT);
    }
    while (sqlite3_step(statement) == SQLITE_ROW)
      row(statement);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
}

}  // namespace

std::map<std::string, std::string> SettingsFixture::Values(const std::string& key) const {
  std::map<std::string, std::string> values;
  Query(DatabasePath(), "SELECT name, type, data FROM value WHERE key = ?1", key,
        [&](sqlite3_stmt* row) {
          std::string name = reinterpret_cast<const char*>(sqlite3_column_text(row, 0));
          int type = sqlite3_column_int(row, 1);
          const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(row, 2));
          int size = sqlite3_column_bytes(row, 2);
          if (type == 4 && size == 4) {
            std::int32_t number = 0;
            std::memcpy(&number, data, 4);
            values[name] = std::to_string(number);
          } else {
            std::string text(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size));
            if (!text.empty() && text.back() == '\0')
              text.pop_back();
            values[name] = text;
          }
        });
  return values;
}

bool SettingsFixture::KeyExists(const std::string& key) const {
  bool found = false;
  Query(DatabasePath(), "SELECT path FROM key WHERE path = ?1", key,
        [&](sqlite3_stmt*) { found = true; });
  return found;
}

int SettingsFixture::ValueCount() const {
  int count = 0;
  Query(DatabasePath(), "SELECT count(*) FROM value", "",
        [&](sqlite3_stmt* row) { count = sqlite3_column_int(row, 0); });
  return count;
}

}  // namespace criteria_tests
