#pragma once

#include <string>

// The program's identity values.
namespace identity {

inline constexpr const char* kProductName = "Morvel";
inline constexpr int kMajorVersion = 1;
inline constexpr int kMinorVersion = 0;
inline constexpr const char* kReleaseSuffix = "b1";
// The settings live under Software\<kRegistryKey>\<application name>.
inline constexpr const char* kRegistryKey = "Quenlith";

// "1.0b1"
std::string VersionText();
// "Morvel - version 1.0b1"
std::string WindowTitle();

}  // namespace identity
