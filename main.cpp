// Picks the presentation backend and hands over to the framework's start-up.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "framework/app.h"
#include "ui/headless/script_backend.h"
#if MORVEL_HAVE_TERMINAL
#include "ui/terminal/terminal_backend.h"
#endif
#if MORVEL_HAVE_QT
#include "ui/qt/qt_backend.h"
#endif

namespace {

bool HasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

int Fail(const char* message) {
  std::fprintf(stderr, "morvel: %s\n", message);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* forced = std::getenv("MORVEL_UI");
  std::string choice = forced ? forced : "";
  if (choice.empty()) {
    if (HasDisplay()) {
      choice = "qt";
    } else if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) {
      choice = "terminal";
    } else {
      return Fail(
          "no display and no terminal to show windows on (set MORVEL_UI=script to drive it from "
          "standard input)");
    }
  }

  if (choice == "script") {
    headless::ScriptBackend backend(std::cin, std::cout, std::cerr);
    return framework::RunApplication(backend);
  }
  if (choice == "terminal") {
#if MORVEL_HAVE_TERMINAL
    auto backend = terminal::TerminalBackend::Create();
    if (!backend)
      return 1;
    return framework::RunApplication(*backend);
#else
    return Fail("this build has no terminal interface");
#endif
  }
  if (choice == "qt") {
#if MORVEL_HAVE_QT
    auto backend = qtui::QtBackend::Create(argc, argv);
    if (!backend)
      return 1;
    return framework::RunApplication(*backend);
#else
    return Fail("this build has no desktop interface");
#endif
  }
  (void)argc;
  (void)argv;
  std::fprintf(stderr, "morvel: MORVEL_UI must be qt, terminal or script, not \"%s\"\n",
               choice.c_str());
  return 1;
}
