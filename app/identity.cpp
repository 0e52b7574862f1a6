#include "app/identity.h"

namespace identity {

std::string VersionText() {
  return std::to_string(kMajorVersion) + "." + std::to_string(kMinorVersion) + kReleaseSuffix;
}

std::string WindowTitle() {
  return std::string(kProductName) + " - version " + VersionText();
}

}  // namespace identity
