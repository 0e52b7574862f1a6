#include "ui/terminal/terminal_backend.h"

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <string_view>

#include "framework/timers.h"
#include "framework/user_input.h"
#include "ui/terminal/display_text.h"
#include "ui/terminal/file_chooser.h"
#include "ui/terminal/screen.h"

namespace terminal {

using framework::ComboBox;
using framework::Control;
using framework::ControlKind;
using framework::ListBox;
using framework::Window;
using framework::WindowKind;
using keys::InputEvent;
using keys::Key;
using keys::MouseAction;
using screen::Style;

// What the screen keeps about one control besides the model.
struct ControlView {
  // Edits and combo fields: the cursor as a byte offset into the text, the
  // first column shown, and the text the cursor was placed in.
  std::size_t cursor = 0;
  int scroll = 0;
  std::string seenText;
  // Lists: the first row and column shown, and the selection last brought into view.
  int top = 0;
  int column = 0;
  int seenSelection = -2;
  int rows = 1;  // rows inside the list box as last drawn
  bool moreToTheRight = false;
  // Where it was last drawn, in screen cells, and where a field's text starts.
  CellRect hit;
  int textCol = 0;
};

struct WindowView {
  std::vector<ControlView> controls;
  WindowShape shape;
  CellRect frame;
  bool shown = false;
  // The combo box whose list is open, its highlighted item and first item shown.
  int dropDown = -1;
  int dropHighlight = 0;
  int dropTop = 0;
  CellRect dropRect;
  // An open-file chooser shown in this window.
  std::unique_ptr<FileChooser> chooser;
  bool chooserDone = false;
  std::optional<std::string> chosen;
  CellRect chooserList;
  CellRect openButton;
  CellRect cancelButton;
  // Screen row -> the column after the last static text drawn on it, so that
  // a label wider than its template room pushes the text after it along.
  std::unordered_map<int, int> staticEnds;
};

namespace {

constexpr int kWheelRows = 3;
constexpr int kSideStepColumns = 4;
constexpr int kLongestWaitMs = 1000;
constexpr int kDropDownRows = 8;
constexpr int kComboButtonWidth = 3;

bool TakesText(const Control& control) {
  return control.Kind() == ControlKind::Edit || control.Kind() == ControlKind::ComboBox;
}

bool Drawn(const Control& control) {
  return control.IsVisible() && !control.IsDestroyed();
}

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t NextBoundary(const std::string& text, std::size_t at) {
  if (at >= text.size())
    return text.size();
  std::size_t next = at + 1;
  for (int k = 0; k < 3 && next < text.size() && IsContinuation(text[next]); ++k)
    ++next;
  return next;
}

std::size_t PreviousBoundary(const std::string& text, std::size_t at) {
  if (at == 0)
    return 0;
  std::size_t previous = at - 1;
  for (int k = 0; k < 3 && previous > 0 && IsContinuation(text[previous]); ++k)
    --previous;
  return previous;
}

std::size_t OnBoundary(const std::string& text, std::size_t at) {
  at = std::min(at, text.size());
  while (at > 0 && at < text.size() && IsContinuation(text[at]))
    --at;
  return at;
}

int ColumnOf(const std::string& text, std::size_t byteOffset) {
  return CellsWidth(ToCells(std::string_view(text).substr(0, byteOffset)));
}

// The byte offset of the character drawn at `column` of the text.
std::size_t OffsetAtColumn(const std::string& text, int column) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t next = NextBoundary(text, at);
    if (ColumnOf(text, next) > column)
      break;
    at = next;
  }
  return at;
}

char LowerAscii(char32_t c) {
  if (c >= 'A' && c <= 'Z')
    return static_cast<char>(c + 32);
  return c < 0x80 ? static_cast<char>(c) : 0;
}

// The columns a control may use to its right: up to the next control drawn
// on one of its rows, or the window's inner edge.
int Room(const Window& window, const WindowView& view, std::size_t index) {
  const CellRect& own = view.shape.controls[index];
  int limit = view.shape.width - 2;
  const auto& controls = window.Controls();
  for (std::size_t j = 0; j < controls.size(); ++j) {
    const CellRect& other = view.shape.controls[j];
    if (j == index || !Drawn(*controls[j]) || controls[j]->Kind() == ControlKind::GroupBox)
      continue;
    // Statics on one row flow one after the other instead (see staticEnds).
    if (controls[index]->Kind() == ControlKind::Static &&
        controls[j]->Kind() == ControlKind::Static)
      continue;
    bool sharesRows = other.row < own.Bottom() && own.row < other.Bottom();
    if (sharesRows && other.col > own.col)
      limit = std::min(limit, other.col - 1);
  }
  return std::max(own.width, limit - own.col);
}

// Keeps `top` such that `row` is among the `rows` rows shown from it.
int ScrolledTo(int top, int row, int rows) {
  if (row < top)
    return row;
  if (row >= top + rows)
    return row - rows + 1;
  return top;
}

int ClampTop(int top, int count, int rows) {
  return std::clamp(top, 0, std::max(0, count - rows));
}

}  // namespace

// ---- creation and the framework's hooks

std::unique_ptr<TerminalBackend> TerminalBackend::Create() {
  std::setlocale(LC_ALL, "");
  std::string whyNot;
  if (!screen::Open(whyNot)) {
    // The reason may quote TERM, which is not ours to trust either.
    std::string shown = JoinCells(ToCells(whyNot));
    std::fprintf(stderr, "morvel: cannot start the terminal interface: %s\n", shown.c_str());
    return nullptr;
  }
  return std::unique_ptr<TerminalBackend>(new TerminalBackend());
}

TerminalBackend::~TerminalBackend() {
  screen::Close();
}

std::shared_ptr<WindowView> TerminalBackend::ViewOf(const Window& window) const {
  auto found = views_.find(&window);
  return found == views_.end() ? nullptr : found->second;
}

void TerminalBackend::WindowCreated(Window& window) {
  auto view = std::make_shared<WindowView>();
  view->controls.resize(window.Controls().size());
  window.backendData = view.get();
  views_[&window] = std::move(view);
  if (window.IsVisible())
    WindowChanged(window);
}

void TerminalBackend::WindowDestroyed(Window& window) {
  views_.erase(&window);
  window.backendData = nullptr;
  choosers_.erase(std::remove(choosers_.begin(), choosers_.end(), &window), choosers_.end());
  if (active_ == &window)
    Activate(LatestShown());
  needsRedraw_ = true;
}

void TerminalBackend::WindowChanged(Window& window) {
  needsRedraw_ = true;
  auto view = ViewOf(window);
  if (!view)
    return;
  if (window.IsVisible() && !view->shown) {
    view->shown = true;
    Activate(&window);
  } else if (!window.IsVisible() && view->shown) {
    view->shown = false;
    view->dropDown = -1;
    if (active_ == &window)
      Activate(LatestShown());
  }
}

void TerminalBackend::ControlChanged(Control& /*control*/) {
  needsRedraw_ = true;
}

void TerminalBackend::ListRowsInserted(ListBox& list, int index, int count) {
  needsRedraw_ = true;
  auto view = ViewOf(list.Owner());
  if (!view)
    return;
  const auto& controls = list.Owner().Controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].get() != &list)
      continue;
    ControlView& cv = view->controls[i];
    // Rows put in above the first one shown push it down: the view stays put.
    if (index < cv.top || (index == cv.top && cv.top > 0))
      cv.top += count;
    if (cv.seenSelection >= index)
      cv.seenSelection += count;
  }
}

void TerminalBackend::ListRowsRemoved(ListBox& list, int index, int count) {
  needsRedraw_ = true;
  auto view = ViewOf(list.Owner());
  if (!view)
    return;
  const auto& controls = list.Owner().Controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].get() != &list)
      continue;
    ControlView& cv = view->controls[i];
    if (index + count <= cv.top) {
      cv.top -= count;
    } else if (index < cv.top) {
      cv.top = index;
    }
    if (cv.seenSelection >= index + count) {
      cv.seenSelection -= count;
    } else if (cv.seenSelection >= index) {
      cv.seenSelection = -2;
    }
  }
}

std::int64_t TerminalBackend::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void TerminalBackend::SuspendForProgram() {
  screen::Suspend();
}

void TerminalBackend::ResumeAfterProgram() {
  screen::Resume();
  needsRedraw_ = true;
}

// ---- windows

std::vector<Window*> TerminalBackend::ShownWindows() const {
  std::vector<Window*> shown;
  for (Window* window : framework::AllWindows()) {
    if (window->IsVisible() && views_.count(window))
      shown.push_back(window);
  }
  return shown;
}

Window* TerminalBackend::LatestShown() const {
  Window* latest = nullptr;
  for (Window* window : ShownWindows()) {
    if (!latest || window->ShownSerial() > latest->ShownSerial())
      latest = window;
  }
  return latest;
}

void TerminalBackend::Activate(Window* window) {
  if (active_ && active_ != window) {
    if (auto view = ViewOf(*active_))
      view->dropDown = -1;
  }
  active_ = window;
  needsRedraw_ = true;
}

unsigned TerminalBackend::ActivateNextWindow() {
  std::vector<Window*> shown = ShownWindows();
  if (shown.size() < 2 || !choosers_.empty())
    return kIgnored;
  auto at = std::find(shown.begin(), shown.end(), active_);
  Activate(at == shown.end() || at + 1 == shown.end() ? shown.front() : *(at + 1));
  return kHandled | kRedraw;
}

// ---- the loop

int TerminalBackend::WaitMs() {
  std::optional<std::int64_t> due = framework::NextTimerDue();
  if (!due)
    return -1;
  return static_cast<int>(std::clamp<std::int64_t>(*due - NowMs(), 0, kLongestWaitMs));
}

void TerminalBackend::RunModalLoop(Window& /*window*/, const std::function<bool()>& finished) {
  while (!finished()) {
    if (needsRedraw_)
      Redraw();
    InputEvent event = keys::Read(WaitMs());
    if (event.key != Key::None && (Dispatch(event) & kRedraw))
      needsRedraw_ = true;
    if (finished())
      break;
    framework::FireDueTimers(NowMs());
  }
  needsRedraw_ = true;
}

std::optional<std::string> TerminalBackend::RunOpenFileDialog(
    Window& window, const framework::OpenFileRequest& request) {
  auto view = ViewOf(window);
  if (!view)
    return {};
  view->chooser = std::make_unique<FileChooser>(request);
  if (!request.title.empty())
    window.SetCaption(request.title);
  choosers_.push_back(&window);
  Activate(&window);
  RunModalLoop(window, [&] { return view->chooserDone || window.IsDestroyed(); });
  choosers_.erase(std::remove(choosers_.begin(), choosers_.end(), &window), choosers_.end());
  needsRedraw_ = true;
  return view->chooserDone ? view->chosen : std::nullopt;
}

// ---- drawing

void TerminalBackend::LayOut() {
  CellSize size = screen::Size();
  // Message boxes and choosers stand centred over everything; the dialogs
  // share the screen among themselves.
  std::vector<Window*> dialogs;
  std::vector<CellSize> sizes;
  for (Window* window : ShownWindows()) {
    auto view = ViewOf(*window);
    view->shape = ShapeWindow(window->Template(), size);
    CellSize shapeSize{view->shape.height, view->shape.width};
    if (window->Kind() == WindowKind::Dialog) {
      dialogs.push_back(window);
      sizes.push_back(shapeSize);
    } else {
      view->frame = PlaceWindows({shapeSize}, size).front();
    }
  }
  std::vector<CellRect> places = PlaceWindows(sizes, size);
  for (std::size_t i = 0; i < dialogs.size(); ++i)
    ViewOf(*dialogs[i])->frame = places[i];
  laidOutFor_ = size;
}

void TerminalBackend::Redraw() {
  LayOut();
  screen::Clear();
  std::vector<Window*> shown = ShownWindows();
  if (active_ && !active_->IsVisible())
    Activate(LatestShown());
  for (Window* window : shown) {
    if (window != active_)
      DrawWindow(*window, *ViewOf(*window));
  }
  bool cursorShown = false;
  if (active_ && active_->IsVisible()) {
    auto view = ViewOf(*active_);
    DrawWindow(*active_, *view);
    if (view->dropDown >= 0)
      DrawDropDown(*active_, *view);
    Control* focus = active_->Focus();
    if (focus && TakesText(*focus) && focus->IsInteractive() && view->dropDown < 0) {
      const auto& controls = active_->Controls();
      for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].get() != focus)
          continue;
        const ControlView& cv = view->controls[i];
        int column = ColumnOf(focus->Text(), cv.cursor) - cv.scroll;
        screen::PlaceCursor(cv.hit.row, cv.textCol + column);
        cursorShown = true;
      }
    }
  }
  if (!cursorShown)
    screen::HideCursor();
  screen::Show();
  needsRedraw_ = false;
}

void TerminalBackend::DrawWindow(Window& window, WindowView& view) {
  const CellRect& frame = view.frame;
  bool active = &window == active_;
  for (int r = frame.row; r < frame.Bottom(); ++r)
    screen::Fill(r, frame.col, frame.width, Style::Normal);
  screen::Box(frame, active ? Style::ActiveFrame : Style::Frame);
  const unsigned styles = window.Template().styles;
  bool closeBox = (styles & framework::kDialogSystemMenu) != 0 && frame.width >= 8;
  int captionRoom = frame.width - (closeBox ? 7 : 4);
  if (captionRoom > 0 && !window.Caption().empty()) {
    std::string caption = " " + window.Caption() + " ";
    screen::Text(frame.row, frame.col + 2, captionRoom, caption,
                 active ? Style::ActiveCaption : Style::Frame);
  }
  if (closeBox)
    screen::Text(frame.row, frame.Right() - 4, 3, "[x]",
                 active ? Style::ActiveFrame : Style::Frame);

  if (window.Kind() == WindowKind::FileDialog) {
    DrawChooser(window, view);
    return;
  }
  view.staticEnds.clear();
  for (std::size_t i = 0; i < window.Controls().size(); ++i) {
    view.controls[i].hit = {};
    if (Drawn(*window.Controls()[i]))
      DrawControl(window, view, i);
  }
}

void TerminalBackend::DrawControl(Window& window, WindowView& view, std::size_t index) {
  Control& control = *window.Controls()[index];
  ControlView& cv = view.controls[index];
  const CellRect& rect = view.shape.controls[index];
  const int row = view.frame.row + 1 + rect.row;
  const int col = view.frame.col + 1 + rect.col;
  const int innerRight = view.frame.Right() - 1;
  const int room = std::min(Room(window, view, index), innerRight - col);
  if (room <= 0 || row >= view.frame.Bottom() - 1)
    return;
  const bool focused = &window == active_ && window.Focus() == &control;
  const bool enabled = control.IsEnabled();

  switch (control.Kind()) {
    case ControlKind::PushButton: {
      Mnemonic caption = ParseMnemonic(control.Text());
      int textWidth = CellsWidth(ToCells(caption.text));
      bool roomy = textWidth + 4 <= std::max(rect.width, room);
      std::string open = control.IsDefaultButton() ? "<" : "[";
      std::string close = control.IsDefaultButton() ? ">" : "]";
      if (roomy) {
        open += " ";
        close = " " + close;
      }
      int face = textWidth + static_cast<int>(open.size() + close.size());
      int start = face <= rect.width ? col + (rect.width - face) / 2 : col;
      int width = std::min(face, innerRight - start);
      Style style = !enabled ? Style::Disabled : focused ? Style::Focused : Style::Normal;
      screen::Text(row, start, width, open, style);
      int textCol = start + static_cast<int>(open.size());
      screen::Caption(row, textCol, std::max(0, start + width - textCol), caption, style);
      if (start + width - static_cast<int>(close.size()) >= textCol)
        screen::Text(row, start + face - static_cast<int>(close.size()),
                     std::max(0, start + width - (start + face - static_cast<int>(close.size()))),
                     close, style);
      cv.hit = {row, start, 1, width};
      break;
    }
    case ControlKind::CheckBox: {
      Style style = !enabled ? Style::Disabled : Style::Normal;
      screen::Text(row, col, room, control.GetCheck() ? "[x] " : "[ ] ", style);
      Mnemonic caption = ParseMnemonic(control.Text());
      int textWidth = CellsWidth(ToCells(caption.text));
      screen::Caption(row, col + 4, std::max(0, room - 4), caption,
                      focused && enabled ? Style::Focused : style);
      cv.hit = {row, col, 1, std::min(room, 4 + textWidth)};
      break;
    }
    case ControlKind::Edit:
    case ControlKind::ComboBox: {
      // A field reads "[text   ]", a combo box's adds its button: "[text   ][v]".
      bool combo = control.Kind() == ControlKind::ComboBox;
      int total = combo ? rect.width : std::max(rect.width, room - 1);
      total = std::min(total, innerRight - col);
      int fieldWidth = total - 2 - (combo ? kComboButtonWidth : 0);
      if (fieldWidth <= 0)
        return;
      const std::string& text = control.Text();
      if (cv.seenText != text) {
        // The program changed the text: the cursor goes to its end.
        cv.seenText = text;
        cv.cursor = text.size();
      }
      cv.cursor = OnBoundary(text, cv.cursor);
      int cursorColumn = ColumnOf(text, cv.cursor);
      if (cursorColumn < cv.scroll)
        cv.scroll = cursorColumn;
      if (cursorColumn >= cv.scroll + fieldWidth)
        cv.scroll = cursorColumn - fieldWidth + 1;
      Style style = !enabled ? Style::Disabled : focused ? Style::FocusedField : Style::Field;
      Style edges = !enabled ? Style::Disabled : focused ? Style::ActiveFrame : Style::Normal;
      screen::Text(row, col, 1, "[", edges);
      screen::Fill(row, col + 1, fieldWidth, style);
      screen::Cells(row, col + 1, fieldWidth, ToCells(text), style, cv.scroll);
      screen::Text(row, col + 1 + fieldWidth, 1, "]", edges);
      if (combo)
        screen::Text(row, col + 2 + fieldWidth, kComboButtonWidth, "[v]", edges);
      cv.hit = {row, col, 1, total};
      cv.textCol = col + 1;
      break;
    }
    case ControlKind::ListBox: {
      auto& list = static_cast<ListBox&>(control);
      CellRect box = {row, col, std::min(rect.height, view.frame.Bottom() - 1 - row),
                      std::min(rect.width, innerRight - col)};
      bool bordered =
          control.HasStyle(framework::kStyleBorder) && box.height >= 3 && box.width >= 3;
      CellRect inner = box;
      if (bordered) {
        screen::Box(box, focused ? Style::ActiveFrame : Style::Frame);
        inner = {box.row + 1, box.col + 1, box.height - 2, box.width - 2};
      }
      int count = list.GetCount();
      int selection = list.GetCurSel();
      cv.rows = std::max(1, inner.height);
      if (selection != cv.seenSelection) {
        if (selection >= 0)
          cv.top = ScrolledTo(cv.top, selection, cv.rows);
        cv.seenSelection = selection;
      }
      cv.top = ClampTop(cv.top, count, cv.rows);
      Tabs tabs = control.HasStyle(framework::kStyleUseTabStops) ? Tabs::Expand : Tabs::Escape;
      cv.moreToTheRight = false;
      for (int r = 0; r < inner.height; ++r) {
        int item = cv.top + r;
        if (item >= count)
          break;
        Style style = Style::Normal;
        if (item == selection)
          style = focused ? Style::Selection : Style::InactiveSelection;
        if (!enabled)
          style = Style::Disabled;
        std::vector<Cell> cells = ToCells(list.GetText(item), tabs, cv.column + inner.width + 1);
        if (CellsWidth(cells) > cv.column + inner.width)
          cv.moreToTheRight = true;
        screen::Fill(inner.row + r, inner.col, inner.width, style);
        screen::Cells(inner.row + r, inner.col, inner.width, cells, style, cv.column);
      }
      if (bordered && count > inner.height && inner.height > 0) {
        int span = std::max(1, count - inner.height);
        int thumb = static_cast<int>(static_cast<long long>(cv.top) * (inner.height - 1) / span);
        for (int r = 0; r < inner.height; ++r)
          screen::ScrollMark(inner.row + r, box.Right() - 1, r == thumb, Style::Frame);
      }
      if (bordered && (cv.column > 0 || cv.moreToTheRight))
        screen::Text(box.Bottom() - 1, box.col + 1, box.width - 2,
                     cv.column > 0 ? (cv.moreToTheRight ? "<>" : "<") : ">", Style::Frame);
      cv.hit = box;
      break;
    }
    case ControlKind::Static: {
      const std::string& text = control.Text();
      std::size_t start = 0;
      for (int line = 0; line < std::max(1, rect.height) && start <= text.size(); ++line) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
          end = text.size();
        int& taken = view.staticEnds[row + line];
        int from = std::max(col, taken > col ? taken + 1 : col);
        int width = std::min(room - (from - col), innerRight - from);
        if (width > 0) {
          int drawn = screen::Text(row + line, from, width,
                                   std::string_view(text).substr(start, end - start),
                                   enabled ? Style::Normal : Style::Disabled);
          taken = std::max(taken, from + drawn);
        }
        start = end + 1;
      }
      break;
    }
    case ControlKind::GroupBox: {
      CellRect box = {row, col, std::min(rect.height, view.frame.Bottom() - 1 - row),
                      std::min(rect.width, innerRight - col)};
      screen::Box(box, Style::Frame);
      if (!control.Text().empty() && box.width > 4)
        screen::Text(row, col + 2, box.width - 4, " " + control.Text() + " ", Style::Normal);
      break;
    }
  }
}

void TerminalBackend::DrawDropDown(Window& window, WindowView& view) {
  auto index = static_cast<std::size_t>(view.dropDown);
  auto* combo = dynamic_cast<ComboBox*>(window.Controls()[index].get());
  if (!combo || !combo->IsInteractive()) {
    view.dropDown = -1;
    return;
  }
  const CellRect& field = view.controls[index].hit;
  int count = combo->GetCount();
  CellSize size = screen::Size();
  int rows = std::max(1, std::min({count, kDropDownRows, size.rows - field.row - 3}));
  CellRect box = {field.row + 1, field.col, rows + 2, std::max(field.width, 8)};
  if (box.Bottom() > size.rows)
    box.row = std::max(0, field.row - box.height);
  view.dropRect = box;
  view.dropHighlight = std::clamp(view.dropHighlight, 0, std::max(0, count - 1));
  view.dropTop = ClampTop(ScrolledTo(view.dropTop, view.dropHighlight, rows), count, rows);
  for (int r = box.row; r < box.Bottom(); ++r)
    screen::Fill(r, box.col, box.width, Style::Normal);
  screen::Box(box, Style::ActiveFrame);
  for (int r = 0; r < rows; ++r) {
    int item = view.dropTop + r;
    if (item >= count)
      break;
    Style style = item == view.dropHighlight ? Style::Selection : Style::Normal;
    screen::Fill(box.row + 1 + r, box.col + 1, box.width - 2, style);
    screen::Text(box.row + 1 + r, box.col + 1, box.width - 2, combo->GetLBText(item), style);
  }
  if (count == 0)
    screen::Text(box.row + 1, box.col + 1, box.width - 2, "(empty)", Style::Disabled);
}

void TerminalBackend::DrawChooser(Window& window, WindowView& view) {
  FileChooser* chooser = view.chooser.get();
  const CellRect& frame = view.frame;
  CellRect inner = {frame.row + 1, frame.col + 1, frame.height - 2, frame.width - 2};
  if (!chooser || inner.height < 4 || inner.width < 10)
    return;
  bool active = &window == active_;
  screen::Text(inner.row, inner.col, 9, "Look in: ", Style::Normal);
  screen::Text(inner.row, inner.col + 9, inner.width - 9, chooser->Directory(), Style::Normal);
  CellRect box = {inner.row + 1, inner.col, inner.height - 2, inner.width};
  screen::Box(box, active ? Style::ActiveFrame : Style::Frame);
  view.chooserList = {box.row + 1, box.col + 1, box.height - 2, box.width - 2};
  int rows = std::max(1, view.chooserList.height);
  const auto& entries = chooser->Entries();
  int count = static_cast<int>(entries.size());
  chooser->top = ClampTop(ScrolledTo(chooser->top, chooser->Selected(), rows), count, rows);
  for (int r = 0; r < view.chooserList.height; ++r) {
    int item = chooser->top + r;
    if (item >= count)
      break;
    const FileChooser::Entry& entry = entries[static_cast<std::size_t>(item)];
    Style style = item == chooser->Selected() ? Style::Selection : Style::Normal;
    screen::Fill(view.chooserList.row + r, view.chooserList.col, view.chooserList.width, style);
    std::string shown = entry.isDirectory ? entry.name + "/" : entry.name;
    screen::Text(view.chooserList.row + r, view.chooserList.col, view.chooserList.width, shown,
                 style);
  }
  if (count == 0)
    screen::Text(view.chooserList.row, view.chooserList.col, view.chooserList.width,
                 "(nothing to choose here)", Style::Disabled);
  int bottom = inner.Bottom() - 1;
  screen::Text(bottom, inner.col, inner.width - 22, "Enter: open  Backspace: up", Style::Disabled);
  view.openButton = {bottom, inner.Right() - 21, 1, 8};
  view.cancelButton = {bottom, inner.Right() - 11, 1, 10};
  screen::Text(bottom, view.openButton.col, view.openButton.width, "< Open >", Style::Normal);
  screen::Text(bottom, view.cancelButton.col, view.cancelButton.width, "[ Cancel ]", Style::Normal);
}

// ---- input

unsigned TerminalBackend::Dispatch(const InputEvent& event) {
  if (event.key == Key::Resize || event.key == Key::Redraw) {
    screen::Invalidate();
    return kHandled | kRedraw;
  }
  if (!choosers_.empty() && active_ != choosers_.back())
    Activate(choosers_.back());
  if (event.key == Key::Mouse)
    return HandleMouse(event);
  if (event.key == Key::NextWindow)
    return ActivateNextWindow();
  if (!active_ || !active_->IsVisible())
    return kIgnored;
  Window& window = *active_;
  // Held so that a handler that destroys the window leaves this call safe.
  std::shared_ptr<WindowView> view = ViewOf(window);
  if (!view)
    return kIgnored;
  if (window.Kind() == WindowKind::FileDialog)
    return HandleChooserKey(window, *view, event);
  if (view->dropDown >= 0) {
    unsigned outcome = HandleDropDownKey(window, *view, event);
    if (outcome != kIgnored)
      return outcome;
  }
  if (event.alt && event.key == Key::Char)
    return ActivateMnemonic(window, LowerAscii(event.ch));
  if (Control* focus = window.Focus(); focus && focus->IsInteractive()) {
    unsigned outcome = HandleControlKey(*focus, *view, event);
    if (outcome != kIgnored)
      return outcome;
  }
  return HandleWindowKey(window, *view, event);
}

unsigned TerminalBackend::HandleWindowKey(Window& window, WindowView& view,
                                          const InputEvent& event) {
  switch (event.key) {
    case Key::Tab:
      return MoveFocus(window, view, true);
    case Key::BackTab:
      return MoveFocus(window, view, false);
    case Key::Enter:
      framework::user::PressEnter(window);
      return kHandled | kRedraw;
    case Key::Escape:
      framework::user::RequestClose(window);
      return kHandled | kRedraw;
    case Key::Char: {
      Control* focus = window.Focus();
      if (!focus || !TakesText(*focus))
        return ActivateMnemonic(window, LowerAscii(event.ch));
      return kIgnored;
    }
    default:
      return kIgnored;
  }
}

unsigned TerminalBackend::MoveFocus(Window& window, WindowView& view, bool forward) {
  const auto& controls = window.Controls();
  int count = static_cast<int>(controls.size());
  int at = -1;
  for (int i = 0; i < count; ++i) {
    if (controls[static_cast<std::size_t>(i)].get() == window.Focus())
      at = i;
  }
  for (int step = 1; step <= count; ++step) {
    int index = forward ? (at + step) % count : ((at < 0 ? 0 : at) - step + 2 * count) % count;
    Control& candidate = *controls[static_cast<std::size_t>(index)];
    if (candidate.HasStyle(framework::kStyleTabStop) && candidate.IsInteractive()) {
      view.dropDown = -1;
      view.controls[static_cast<std::size_t>(index)].cursor = candidate.Text().size();
      window.SetFocus(&candidate);
      return kHandled | kRedraw;
    }
  }
  return kHandled;
}

unsigned TerminalBackend::ActivateMnemonic(Window& window, char key) {
  if (key == 0)
    return kIgnored;
  for (const auto& control : window.Controls()) {
    if (!control->IsInteractive())
      continue;
    if (control->Kind() != ControlKind::PushButton && control->Kind() != ControlKind::CheckBox)
      continue;
    if (ParseMnemonic(control->Text()).key != key)
      continue;
    if (control->Kind() == ControlKind::CheckBox)
      window.SetFocus(control.get());
    framework::user::Click(*control);
    return kHandled | kRedraw;
  }
  return kIgnored;
}

unsigned TerminalBackend::HandleControlKey(Control& control, WindowView& view,
                                           const InputEvent& event) {
  switch (control.Kind()) {
    case ControlKind::Edit:
    case ControlKind::ComboBox:
      return HandleTextKey(control, view, event);
    case ControlKind::ListBox:
      return HandleListKey(static_cast<ListBox&>(control), view, event);
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
      if (event.key == Key::Char && event.ch == ' ') {
        framework::user::Click(control);
        return kHandled | kRedraw;
      }
      if (event.key == Key::Right || event.key == Key::Down)
        return MoveFocus(control.Owner(), view, true);
      if (event.key == Key::Left || event.key == Key::Up)
        return MoveFocus(control.Owner(), view, false);
      return kIgnored;
    default:
      return kIgnored;
  }
}

unsigned TerminalBackend::HandleTextKey(Control& control, WindowView& view,
                                        const InputEvent& event) {
  const auto& controls = control.Owner().Controls();
  std::size_t index = 0;
  while (index < controls.size() && controls[index].get() != &control)
    ++index;
  if (index == controls.size())
    return kIgnored;
  ControlView& cv = view.controls[index];
  const std::string& text = control.Text();
  std::size_t cursor = OnBoundary(text, cv.cursor);
  std::string edited = text;
  std::size_t editedCursor = cursor;

  auto* combo = dynamic_cast<ComboBox*>(&control);
  switch (event.key) {
    case Key::Char:
      if (event.alt)
        return kIgnored;
      {
        std::string typed;
        AppendUtf8(typed, event.ch);
        edited.insert(cursor, typed);
        editedCursor = cursor + typed.size();
      }
      break;
    case Key::Backspace:
      if (cursor == 0)
        return kHandled;
      editedCursor = PreviousBoundary(text, cursor);
      edited.erase(editedCursor, cursor - editedCursor);
      break;
    case Key::Delete:
      if (cursor >= text.size())
        return kHandled;
      edited.erase(cursor, NextBoundary(text, cursor) - cursor);
      break;
    case Key::Left:
      cv.cursor = PreviousBoundary(text, cursor);
      return kHandled | kRedraw;
    case Key::Right:
      cv.cursor = NextBoundary(text, cursor);
      return kHandled | kRedraw;
    case Key::Home:
      cv.cursor = 0;
      return kHandled | kRedraw;
    case Key::End:
      cv.cursor = text.size();
      return kHandled | kRedraw;
    case Key::OpenList:
      if (!combo)
        return kIgnored;
      view.dropDown = static_cast<int>(index);
      view.dropHighlight = std::max(0, combo->GetCurSel());
      return kHandled | kRedraw;
    case Key::Up:
    case Key::Down: {
      if (!combo || combo->GetCount() == 0)
        return combo ? kHandled : kIgnored;
      int selection = combo->GetCurSel();
      int next = event.key == Key::Down ? selection + 1 : std::max(0, selection - 1);
      if (next < combo->GetCount() && next != selection)
        framework::user::Select(*combo, next);
      return kHandled | kRedraw;
    }
    default:
      return kIgnored;
  }
  // The view learns the new text first: a handler run by the change may even
  // destroy the window.
  cv.seenText = edited;
  cv.cursor = editedCursor;
  framework::user::TypeText(control, std::move(edited));
  return kHandled | kRedraw;
}

unsigned TerminalBackend::HandleListKey(ListBox& list, WindowView& view, const InputEvent& event) {
  const auto& controls = list.Owner().Controls();
  std::size_t index = 0;
  while (index < controls.size() && controls[index].get() != &list)
    ++index;
  if (index == controls.size())
    return kIgnored;
  ControlView& cv = view.controls[index];
  int count = list.GetCount();
  int selection = list.GetCurSel();
  int page = std::max(1, cv.rows - 1);
  int target = selection;
  switch (event.key) {
    case Key::Up:
      target = selection < 0 ? 0 : selection - 1;
      break;
    case Key::Down:
      target = selection < 0 ? 0 : selection + 1;
      break;
    case Key::PageUp:
      target = selection < 0 ? 0 : selection - page;
      break;
    case Key::PageDown:
      target = selection < 0 ? 0 : selection + page;
      break;
    case Key::Home:
      target = 0;
      break;
    case Key::End:
      target = count - 1;
      break;
    case Key::Left:
      cv.column = std::max(0, cv.column - kSideStepColumns);
      return kHandled | kRedraw;
    case Key::Right:
      if (cv.moreToTheRight)
        cv.column += kSideStepColumns;
      return kHandled | kRedraw;
    default:
      return kIgnored;
  }
  if (count == 0)
    return kHandled;
  target = std::clamp(target, 0, count - 1);
  if (target != selection)
    framework::user::Select(list, target);
  return kHandled | kRedraw;
}

unsigned TerminalBackend::HandleDropDownKey(Window& window, WindowView& view,
                                            const InputEvent& event) {
  auto* combo =
      dynamic_cast<ComboBox*>(window.Controls()[static_cast<std::size_t>(view.dropDown)].get());
  if (!combo) {
    view.dropDown = -1;
    return kIgnored;
  }
  int count = combo->GetCount();
  switch (event.key) {
    case Key::Up:
      view.dropHighlight = std::max(0, view.dropHighlight - 1);
      return kHandled | kRedraw;
    case Key::Down:
      view.dropHighlight = std::min(std::max(0, count - 1), view.dropHighlight + 1);
      return kHandled | kRedraw;
    case Key::PageUp:
      view.dropHighlight = std::max(0, view.dropHighlight - kDropDownRows);
      return kHandled | kRedraw;
    case Key::PageDown:
      view.dropHighlight = std::min(std::max(0, count - 1), view.dropHighlight + kDropDownRows);
      return kHandled | kRedraw;
    case Key::Home:
      view.dropHighlight = 0;
      return kHandled | kRedraw;
    case Key::End:
      view.dropHighlight = std::max(0, count - 1);
      return kHandled | kRedraw;
    case Key::Enter: {
      int chosen = view.dropHighlight;
      view.dropDown = -1;
      if (chosen < count)
        framework::user::Select(*combo, chosen);
      return kHandled | kRedraw;
    }
    case Key::Escape:
    case Key::OpenList:
      view.dropDown = -1;
      return kHandled | kRedraw;
    default:
      // Any other key closes the list and then does what it does.
      view.dropDown = -1;
      needsRedraw_ = true;
      return kIgnored;
  }
}

unsigned TerminalBackend::HandleChooserKey(Window& window, WindowView& view,
                                           const InputEvent& event) {
  FileChooser* chooser = view.chooser.get();
  if (!chooser)
    return kIgnored;
  int rows = std::max(1, view.chooserList.height);
  int last = static_cast<int>(chooser->Entries().size()) - 1;
  switch (event.key) {
    case Key::Up:
      chooser->Select(chooser->Selected() - 1);
      break;
    case Key::Down:
      chooser->Select(chooser->Selected() + 1);
      break;
    case Key::PageUp:
      chooser->Select(chooser->Selected() - rows);
      break;
    case Key::PageDown:
      chooser->Select(chooser->Selected() + rows);
      break;
    case Key::Home:
      chooser->Select(0);
      break;
    case Key::End:
      chooser->Select(last);
      break;
    case Key::Backspace:
    case Key::Left:
      chooser->GoUp();
      break;
    case Key::Enter:
    case Key::Right:
      if (auto path = chooser->Activate()) {
        view.chosen = std::move(path);
        view.chooserDone = true;
      }
      break;
    case Key::Escape:
      view.chosen.reset();
      view.chooserDone = true;
      break;
    case Key::Char:
      chooser->SelectByLetter(static_cast<char>(LowerAscii(event.ch)));
      break;
    default:
      return kIgnored;
  }
  (void)window;
  return kHandled | kRedraw;
}

unsigned TerminalBackend::HandleChooserMouse(WindowView& view, const InputEvent& event) {
  FileChooser* chooser = view.chooser.get();
  if (!chooser)
    return kIgnored;
  if (event.mouse == MouseAction::WheelUp || event.mouse == MouseAction::WheelDown) {
    int step = event.mouse == MouseAction::WheelUp ? -kWheelRows : kWheelRows;
    chooser->top = std::max(0, chooser->top + step);
    chooser->Select(std::clamp(chooser->Selected(), chooser->top,
                               chooser->top + std::max(0, view.chooserList.height - 1)));
    return kHandled | kRedraw;
  }
  if (view.openButton.Contains(event.row, event.col)) {
    if (auto path = chooser->Activate()) {
      view.chosen = std::move(path);
      view.chooserDone = true;
    }
    return kHandled | kRedraw;
  }
  if (view.cancelButton.Contains(event.row, event.col)) {
    view.chosen.reset();
    view.chooserDone = true;
    return kHandled | kRedraw;
  }
  if (view.chooserList.Contains(event.row, event.col)) {
    int item = chooser->top + event.row - view.chooserList.row;
    if (item >= static_cast<int>(chooser->Entries().size()))
      return kHandled;
    chooser->Select(item);
    if (event.mouse == MouseAction::DoublePress) {
      if (auto path = chooser->Activate()) {
        view.chosen = std::move(path);
        view.chooserDone = true;
      }
    }
    return kHandled | kRedraw;
  }
  return kHandled;
}

unsigned TerminalBackend::HandleMouse(const InputEvent& event) {
  if (needsRedraw_ || laidOutFor_.rows != screen::Size().rows ||
      laidOutFor_.cols != screen::Size().cols)
    Redraw();  // hit areas must match what is on the screen
  // The window under the pointer: the active one is drawn on top.
  std::vector<Window*> order = ShownWindows();
  std::stable_partition(order.begin(), order.end(), [&](Window* w) { return w != active_; });
  Window* target = nullptr;
  for (auto it = order.rbegin(); it != order.rend() && !target; ++it) {
    if (ViewOf(**it)->frame.Contains(event.row, event.col))
      target = *it;
  }
  if (active_) {
    auto activeView = ViewOf(*active_);
    if (activeView && activeView->dropDown >= 0) {
      if (activeView->dropRect.Contains(event.row, event.col)) {
        auto* combo = dynamic_cast<ComboBox*>(
            active_->Controls()[static_cast<std::size_t>(activeView->dropDown)].get());
        int inside = event.row - activeView->dropRect.row - 1;
        if (event.mouse == MouseAction::WheelUp || event.mouse == MouseAction::WheelDown) {
          int step = event.mouse == MouseAction::WheelUp ? -1 : 1;
          activeView->dropHighlight = std::max(0, activeView->dropHighlight + step);
          return kHandled | kRedraw;
        }
        if (combo && inside >= 0 && activeView->dropTop + inside < combo->GetCount()) {
          activeView->dropDown = -1;
          framework::user::Select(*combo, activeView->dropTop + inside);
        }
        return kHandled | kRedraw;
      }
      activeView->dropDown = -1;
      needsRedraw_ = true;
    }
  }
  if (!target)
    return kRedraw;
  if (!choosers_.empty() && target != choosers_.back())
    return kHandled;
  if (target != active_)
    Activate(target);
  std::shared_ptr<WindowView> view = ViewOf(*target);
  Window& window = *target;
  const CellRect& frame = view->frame;
  bool closeBox =
      (window.Template().styles & framework::kDialogSystemMenu) != 0 && frame.width >= 8;
  if (closeBox && event.mouse == MouseAction::Press && event.row == frame.row &&
      event.col >= frame.Right() - 4 && event.col < frame.Right() - 1) {
    if (window.Kind() == WindowKind::FileDialog) {
      view->chosen.reset();
      view->chooserDone = true;
    } else {
      framework::user::RequestClose(window);
    }
    return kHandled | kRedraw;
  }
  if (window.Kind() == WindowKind::FileDialog)
    return HandleChooserMouse(*view, event) | kRedraw;
  const auto& controls = window.Controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (Drawn(*controls[i]) && view->controls[i].hit.Contains(event.row, event.col))
      return HandleControlMouse(window, *view, i, event) | kRedraw;
  }
  // The wheel over a window scrolls its list wherever the pointer is.
  if (event.mouse == MouseAction::WheelUp || event.mouse == MouseAction::WheelDown) {
    for (std::size_t i = 0; i < controls.size(); ++i) {
      if (controls[i]->Kind() == ControlKind::ListBox && Drawn(*controls[i]))
        return HandleControlMouse(window, *view, i, event) | kRedraw;
    }
  }
  return kRedraw;
}

unsigned TerminalBackend::HandleControlMouse(Window& window, WindowView& view, std::size_t index,
                                             const InputEvent& event) {
  Control& control = *window.Controls()[index];
  ControlView& cv = view.controls[index];
  bool wheel = event.mouse == MouseAction::WheelUp || event.mouse == MouseAction::WheelDown;
  if (control.Kind() == ControlKind::ListBox) {
    auto& list = static_cast<ListBox&>(control);
    if (wheel) {
      int step = event.mouse == MouseAction::WheelUp ? -kWheelRows : kWheelRows;
      cv.top = ClampTop(cv.top + step, list.GetCount(), cv.rows);
      return kHandled | kRedraw;
    }
    if (!control.IsInteractive())
      return kHandled;
    window.SetFocus(&control);
    bool bordered = cv.hit.height >= 3 && control.HasStyle(framework::kStyleBorder);
    int firstRow = cv.hit.row + (bordered ? 1 : 0);
    if (bordered && event.col == cv.hit.Right() - 1) {
      // The scroll bar: a page towards the side that was pressed.
      int middle = cv.hit.row + cv.hit.height / 2;
      cv.top =
          ClampTop(cv.top + (event.row < middle ? -cv.rows : cv.rows), list.GetCount(), cv.rows);
      return kHandled | kRedraw;
    }
    int item = cv.top + event.row - firstRow;
    if (event.row < firstRow || event.row >= firstRow + cv.rows || item >= list.GetCount())
      return kHandled | kRedraw;
    if (event.mouse == MouseAction::DoublePress) {
      framework::user::DoubleClick(list, item);
    } else if (item != list.GetCurSel()) {
      framework::user::Select(list, item);
    }
    return kHandled | kRedraw;
  }
  if (wheel || !control.IsInteractive())
    return kHandled;
  switch (control.Kind()) {
    case ControlKind::PushButton:
      framework::user::Click(control);
      return kHandled | kRedraw;
    case ControlKind::CheckBox:
      window.SetFocus(&control);
      framework::user::Click(control);
      return kHandled | kRedraw;
    case ControlKind::Edit:
    case ControlKind::ComboBox: {
      window.SetFocus(&control);
      if (control.Kind() == ControlKind::ComboBox &&
          event.col >= cv.hit.Right() - kComboButtonWidth) {
        auto& combo = static_cast<ComboBox&>(control);
        view.dropDown = view.dropDown == static_cast<int>(index) ? -1 : static_cast<int>(index);
        view.dropHighlight = std::max(0, combo.GetCurSel());
        return kHandled | kRedraw;
      }
      cv.cursor = OffsetAtColumn(control.Text(), cv.scroll + std::max(0, event.col - cv.textCol));
      return kHandled | kRedraw;
    }
    default:
      return kHandled;
  }
}

}  // namespace terminal
