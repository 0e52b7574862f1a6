#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/support/script_runner.h"

namespace criteria_tests {

// A private settings folder for the program under test, with direct access
// to the values it stores.
class SettingsFixture : public ::testing::Test {
 protected:
  static constexpr const char* kSection = "Software\\Quenlith\\morvel\\Find Files Dialog";

  std::string DatabasePath() const { return config.Path() + "/Quenlith/registry.sqlite"; }
  testing_support::ScriptRun Run(const std::string& script) const;
  void PutString(const std::string& name, const std::string& value,
                 const std::string& key = kSection) const;
  // Every value of a key as name -> text (strings) or decimal (integers).
  std::map<std::string, std::string> Values(const std::string& key = kSection) const;
  bool KeyExists(const std::string& key) const;
  int ValueCount() const;

  testing_support::TempDir config;
  testing_support::TempDir tree;
};

}  // namespace criteria_tests
