#include "ui/headless/script_backend.h"

#include <charconv>
#include <cstdlib>
#include <istream>
#include <ostream>

#include "framework/timers.h"
#include "framework/user_input.h"
#include "framework/window.h"
#include "ui/headless/script_text.h"

namespace headless {

using framework::Control;
using framework::ControlKind;
using framework::Window;
using framework::WindowKind;

namespace {

std::string WindowName(const Window& window) {
  switch (window.Kind()) {
    case WindowKind::MessageBox:
      return "message";
    case WindowKind::FileDialog:
      return "file";
    case WindowKind::Dialog:
      break;
  }
  return std::to_string(window.TemplateId());
}

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::PushButton:
      return "button";
    case ControlKind::CheckBox:
      return "check";
    case ControlKind::Edit:
      return "edit";
    case ControlKind::ComboBox:
      return "combo";
    case ControlKind::ListBox:
      return "list";
    case ControlKind::Static:
      return "static";
    case ControlKind::GroupBox:
      return "group";
  }
  return "control";
}

std::optional<long long> ParseNumber(std::string_view text) {
  long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty())
    return {};
  return value;
}

// Splits off the first word (up to one space); the rest follows that space.
std::string_view NextWord(std::string_view& rest) {
  std::size_t space = rest.find(' ');
  std::string_view word = rest.substr(0, space);
  rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
  return word;
}

}  // namespace

ScriptBackend::ScriptBackend(std::istream& input, std::ostream& output, std::ostream& errors)
    : input_(input), output_(output), errors_(errors) {}

void ScriptBackend::WindowDestroyed(Window& window) {
  if (&window == waitingFileDialog_)
    waitingFileDialog_ = nullptr;
}

void ScriptBackend::RunModalLoop(Window& /*window*/, const std::function<bool()>& finished) {
  std::string line;
  while (!finished()) {
    if (!std::getline(input_, line)) {
      errors_ << "morvel: the script ended while a window was still waiting for input\n";
      errors_.flush();
      output_.flush();
      std::exit(2);
    }
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    Execute(line);
  }
}

std::optional<std::string> ScriptBackend::RunOpenFileDialog(
    Window& window, const framework::OpenFileRequest& /*request*/) {
  FileAnswer answer;
  Window* outerDialog = waitingFileDialog_;
  FileAnswer* outerAnswer = fileAnswer_;
  waitingFileDialog_ = &window;
  fileAnswer_ = &answer;
  RunModalLoop(window, [&] { return answer.answered || window.IsDestroyed(); });
  waitingFileDialog_ = outerDialog;
  fileAnswer_ = outerAnswer;
  return answer.path;
}

Window* ScriptBackend::TargetWindow() const {
  Window* named = nullptr;
  Window* latest = nullptr;
  for (Window* window : framework::AllWindows()) {
    if (!window->IsVisible())
      continue;
    if (!latest || window->ShownSerial() > latest->ShownSerial())
      latest = window;
    if (namedWindow_ && WindowName(*window) == *namedWindow_ &&
        (!named || window->ShownSerial() > named->ShownSerial())) {
      named = window;
    }
  }
  return named ? named : latest;
}

void ScriptBackend::Refuse(std::string_view what) {
  errors_ << "morvel: script: " << what << '\n';
  errors_.flush();
}

Control* ScriptBackend::TargetControl(std::string_view idText, std::string_view command) {
  Window* window = TargetWindow();
  auto id = ParseNumber(idText);
  if (!window || !id) {
    Refuse(std::string(command) + ": no such control " + std::string(idText));
    return nullptr;
  }
  Control* control = window->Find(static_cast<int>(*id));
  if (!control) {
    Refuse(std::string(command) + ": window " + WindowName(*window) + " has no control " +
           std::string(idText));
    return nullptr;
  }
  if (!control->IsInteractive()) {
    const char* state = control->IsDestroyed()  ? "destroyed"
                        : !control->IsVisible() ? "hidden"
                                                : "disabled";
    Refuse(std::string(command) + ": control " + std::string(idText) + " is " + state);
    return nullptr;
  }
  return control;
}

void ScriptBackend::Execute(std::string_view line) {
  if (line.empty() || line.front() == '#')
    return;
  std::string_view rest = line;
  std::string_view command = NextWord(rest);

  if (command == "type") {
    std::string_view id = NextWord(rest);
    if (Control* control = TargetControl(id, command)) {
      if (!framework::user::TypeText(*control, UnescapeScriptText(rest))) {
        Refuse("type: control " + std::string(id) + " takes no text");
      }
    }
  } else if (command == "click") {
    if (Control* control = TargetControl(rest, command)) {
      if (!framework::user::Click(*control))
        Refuse("click: control " + std::string(rest) + " cannot be clicked");
    }
  } else if (command == "select" || command == "dblclick") {
    std::string_view id = NextWord(rest);
    auto index = ParseNumber(rest);
    Control* control = TargetControl(id, command);
    if (control && !index) {
      Refuse(std::string(command) + ": no item number");
    } else if (control) {
      bool done = command == "select"
                      ? framework::user::Select(*control, static_cast<int>(*index))
                      : framework::user::DoubleClick(*control, static_cast<int>(*index));
      if (!done)
        Refuse(std::string(command) + ": control " + std::string(id) + " has no item " +
               std::string(rest));
    }
  } else if (command == "key") {
    Window* window = TargetWindow();
    if (!window) {
      Refuse("key: no window is shown");
    } else if (rest == "enter") {
      if (!framework::user::PressEnter(*window))
        Refuse("key enter: the default button is disabled");
    } else if (rest == "escape" || rest == "close") {
      framework::user::RequestClose(*window);
    } else {
      Refuse("key: unknown key " + std::string(rest));
    }
  } else if (command == "window") {
    namedWindow_ = std::string(rest);
  } else if (command == "advance") {
    auto milliseconds = ParseNumber(rest);
    if (!milliseconds || *milliseconds < 0) {
      Refuse("advance: not a number of milliseconds: " + std::string(rest));
    } else {
      Advance(*milliseconds);
    }
  } else if (command == "run") {
    RunTimersOut();
  } else if (command == "file" || command == "file-cancel") {
    if (!waitingFileDialog_ || !fileAnswer_) {
      Refuse(std::string(command) + ": no open-file dialog is waiting");
    } else {
      fileAnswer_->answered = true;
      if (command == "file")
        fileAnswer_->path = UnescapeScriptText(rest);
    }
  } else if (command == "dump") {
    Dump();
  } else {
    Refuse("unknown command: " + std::string(command));
  }
}

void ScriptBackend::Advance(std::int64_t milliseconds) {
  std::int64_t target = now_ + milliseconds;
  while (auto due = framework::NextTimerDue()) {
    if (*due > target)
      break;
    if (*due > now_)
      now_ = *due;
    framework::FireDueTimers(now_);
    auto after = framework::NextTimerDue();
    if (after && *after <= now_)
      break;  // a timer that cannot fire here; do not spin
  }
  now_ = target;
}

void ScriptBackend::RunTimersOut() {
  std::int64_t bound = now_ + kRunBoundMs;
  while (auto due = framework::NextTimerDue()) {
    if (*due > bound) {
      now_ = bound;
      Refuse("run: timers still set after " + std::to_string(kRunBoundMs) + " ms");
      return;
    }
    if (*due > now_)
      now_ = *due;
    framework::FireDueTimers(now_);
    auto after = framework::NextTimerDue();
    if (after && *after <= now_)
      break;
  }
}

void ScriptBackend::Dump() {
  for (Window* window : framework::AllWindows()) {
    output_ << "window " << WindowName(*window) << ' ' << QuoteDumpText(window->Caption()) << ' '
            << (window->IsVisible() ? "shown" : "hidden") << '\n';
    if (window->Kind() != WindowKind::FileDialog) {
      for (const auto& control : window->Controls()) {
        output_ << "  " << KindName(control->Kind()) << ' ' << control->Id() << ' '
                << QuoteDumpText(control->Text()) << ' '
                << (control->IsEnabled() ? "enabled" : "disabled");
        if (control->IsDestroyed())
          output_ << " destroyed";
        if (control->Kind() == ControlKind::CheckBox) {
          output_ << (control->GetCheck() ? " checked" : " unchecked");
        }
        if (control->IsPushButton() && control->IsDefaultButton())
          output_ << " default";
        if (auto* list = dynamic_cast<framework::ListBox*>(control.get())) {
          output_ << " extent=" << list->GetHorizontalExtent() << " sel=" << list->GetCurSel()
                  << '\n';
          for (int i = 0; i < list->GetCount(); ++i) {
            output_ << "    " << QuoteDumpText(list->GetText(i)) << '\n';
          }
        } else if (auto* combo = dynamic_cast<framework::ComboBox*>(control.get())) {
          output_ << " sel=" << combo->GetCurSel() << '\n';
          for (int i = 0; i < combo->GetCount(); ++i) {
            output_ << "    " << QuoteDumpText(combo->GetLBText(i)) << '\n';
          }
        } else {
          output_ << '\n';
        }
      }
    }
    for (const framework::TimerInfo& timer : framework::WindowTimers(*window)) {
      output_ << "  timer " << timer.id << ' ' << timer.periodMs << '\n';
    }
  }
  output_ << "end\n";
  output_.flush();
}

}  // namespace headless
