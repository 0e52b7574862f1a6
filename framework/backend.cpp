#include "framework/backend.h"

namespace framework {

namespace {
Backend* currentBackend = nullptr;
}

Backend* CurrentBackend() {
  return currentBackend;
}
void SetCurrentBackend(Backend* backend) {
  currentBackend = backend;
}

}  // namespace framework
