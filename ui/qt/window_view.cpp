#include "ui/qt/window_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>

#include "framework/user_input.h"
#include "framework/window.h"
#include "ui/qt/list_models.h"

namespace qtui {

using framework::Control;
using framework::ControlKind;

namespace {

QString FromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToBytes(const QString& text) {
  QByteArray bytes = text.toUtf8();
  return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// A caption as it reads on screen: "&&" is one "&", a single "&" marks the
// mnemonic and takes no room.
QString VisibleCaption(const QString& caption) {
  QString visible;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size())
      ++i;
    visible += caption[i];
  }
  return visible;
}

// How wide a control with a fixed caption must be for the caption to show
// whole in this font; the templates were laid out for a narrower one.
int WidthForCaption(const Control& control, const QWidget& widget) {
  QString caption = VisibleCaption(FromBytes(control.Text()));
  if (caption.isEmpty())
    return 0;
  int text = widget.fontMetrics().horizontalAdvance(caption);
  const QStyle* style = widget.style();
  switch (control.Kind()) {
    case ControlKind::Static:
      return text + 1;
    case ControlKind::CheckBox:
      return text + style->pixelMetric(QStyle::PM_IndicatorWidth) +
             style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) + 4;
    case ControlKind::PushButton:
      return text + 2 * style->pixelMetric(QStyle::PM_ButtonMargin) + 4;
    default:
      return 0;
  }
}

Qt::WindowFlags FlagsFor(const framework::DialogTemplate& dialog) {
  bool minimizable = (dialog.styles & framework::kDialogMinimizeBox) != 0;
  // A window that can be minimised is a main window of the program; the
  // window manager gives plain dialogs no minimise button.
  Qt::WindowFlags flags = minimizable ? Qt::Window : Qt::Dialog;
  flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (dialog.styles & framework::kDialogSystemMenu)
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (minimizable)
    flags |= Qt::WindowMinimizeButtonHint;
  return flags;
}

bool IsEnterKey(const QKeyEvent& event) {
  bool enter = event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
  Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
  return enter && modifiers == Qt::NoModifier;
}

}  // namespace

WindowView::WindowView(framework::Window& window, InputGate& gate)
    : QDialog(nullptr, FlagsFor(window.Template())),
      window_(&window),
      gate_(gate),
      units_(DialogUnits::ForFont(QApplication::font())) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setModal(false);
  setSizeGripEnabled(false);
  switch (window.Kind()) {
    case framework::WindowKind::MessageBox:
      setObjectName(QStringLiteral("message"));
      break;
    default:
      setObjectName(QStringLiteral("window-%1").arg(window.TemplateId()));
      break;
  }
  if (QScreen* screen = QApplication::primaryScreen()) {
    const auto& dialog = window.Template();
    units_ = units_.FittedInto(QSize(dialog.width, dialog.height),
                               screen->availableGeometry().size() * 0.95);
  }
  Build();
  SyncWindow();
}

WindowView::~WindowView() = default;

void WindowView::Build() {
  bindings_.reserve(window_->Controls().size());
  QWidget* previous = nullptr;
  QSize client = units_.ToPixels(window_->Template().width, window_->Template().height);
  int margin = units_.X(4);
  for (const auto& control : window_->Controls()) {
    Binding binding;
    binding.control = control.get();
    binding.widget = MakeWidget(binding);
    binding.widget->setObjectName(QStringLiteral("control-%1").arg(control->Id()));
    QRect rect = units_.ToPixels(control->Rect());
    if (control->Kind() == ControlKind::ComboBox) {
      // A combo box's template height includes its dropped-down list.
      rect.setHeight(std::min(rect.height(), binding.widget->sizeHint().height()));
    }
    rect.setWidth(std::max(rect.width(), WidthForCaption(*control, *binding.widget)));
    binding.baseRect = rect;
    binding.widget->setGeometry(rect);
    client = client.expandedTo(QSize(rect.right() + 1 + margin, rect.bottom() + 1 + margin / 2));
    bool tabStop = control->HasStyle(framework::kStyleTabStop);
    if (control->Kind() != ControlKind::Static && control->Kind() != ControlKind::GroupBox) {
      binding.widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
      if (previous)
        QWidget::setTabOrder(previous, binding.widget);
      previous = binding.widget;
    }
    bindings_.push_back(binding);
  }
  for (Binding& binding : bindings_) {
    if (binding.control->Kind() == ControlKind::GroupBox)
      binding.widget->lower();
    ApplyControl(binding);
  }
  baseSize_ = client;
  resize(client);
  if (Resizable()) {
    setMinimumSize(client);
  } else {
    setFixedSize(client);
  }
}

QWidget* WindowView::MakeWidget(Binding& binding) {
  Control& control = *binding.control;
  QString caption = FromBytes(control.Text());
  switch (control.Kind()) {
    case ControlKind::PushButton: {
      auto* button = new QPushButton(caption, this);
      button->setDefault(control.IsDefaultButton());
      connect(button, &QPushButton::clicked, this, [this, &control] {
        if (!applying_)
          Act(control, [&control] { framework::user::Click(control); });
      });
      return button;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(caption, this);
      connect(box, &QCheckBox::clicked, this, [this, &control] {
        if (!applying_)
          Act(control, [&control] { framework::user::Click(control); });
      });
      return box;
    }
    case ControlKind::Edit: {
      auto* edit = new QLineEdit(this);
      edit->setFrame(control.HasStyle(framework::kStyleBorder));
      connect(edit, &QLineEdit::textEdited, this, [this, &control](const QString& text) {
        if (!applying_)
          Act(control,
              [&control, bytes = ToBytes(text)] { framework::user::TypeText(control, bytes); });
      });
      return edit;
    }
    case ControlKind::ComboBox: {
      auto& model = static_cast<framework::ComboBox&>(control);
      auto* combo = new QComboBox(this);
      combo->setEditable(control.HasStyle(framework::kStyleDropDown));
      combo->setInsertPolicy(QComboBox::NoInsert);
      combo->setDuplicatesEnabled(true);
      binding.comboModel = new ComboBoxModel(model, combo);
      combo->setModel(binding.comboModel);
      if (QLineEdit* field = combo->lineEdit()) {
        // No completion: the field holds what the user typed, nothing more.
        combo->setCompleter(nullptr);
        // Leaving the field or pressing Enter in it would otherwise pick the
        // entry equal to the typed text, a selection the user did not make.
        QObject::disconnect(field, &QLineEdit::editingFinished, combo, nullptr);
        QObject::disconnect(field, &QLineEdit::returnPressed, combo, nullptr);
        connect(field, &QLineEdit::textEdited, this, [this, &control](const QString& text) {
          if (!applying_)
            Act(control,
                [&control, bytes = ToBytes(text)] { framework::user::TypeText(control, bytes); });
        });
      }
      connect(combo, &QComboBox::activated, this, [this, &control](int index) {
        if (!applying_)
          Act(control, [&control, index] { framework::user::Select(control, index); });
      });
      return combo;
    }
    case ControlKind::ListBox: {
      binding.widget = new QListView(this);
      ConnectList(binding);
      return binding.widget;
    }
    case ControlKind::GroupBox:
      return new QGroupBox(caption, this);
    case ControlKind::Static:
      break;
  }
  auto* label = new QLabel(this);
  // File names and file contents are shown here: never as rich text.
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(window_->Kind() == framework::WindowKind::MessageBox);
  label->setText(caption);
  return label;
}

void WindowView::ConnectList(Binding& binding) {
  auto& list = static_cast<framework::ListBox&>(*binding.control);
  auto* view = static_cast<QListView*>(binding.widget);
  view->setUniformItemSizes(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  view->setResizeMode(QListView::Adjust);
  view->setTextElideMode(Qt::ElideNone);
  view->setWordWrap(false);
  view->setHorizontalScrollBarPolicy(
      list.HasStyle(framework::kStyleHScroll) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  view->setFrameShape(list.HasStyle(framework::kStyleBorder) ? QFrame::StyledPanel
                                                             : QFrame::NoFrame);
  binding.listModel = new ListBoxModel(list, view);
  // The list's tab stops: every 32 dialog units, eight average characters.
  binding.listDelegate = new ListLineDelegate(*view, list, units_.PixelsPerX() * 32);
  view->setItemDelegate(binding.listDelegate);
  view->setModel(binding.listModel);
  framework::Control* control = binding.control;
  connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, control] {
    if (applying_)
      return;
    auto* listView = static_cast<QListView*>(WidgetOf(*control));
    QModelIndexList rows = listView->selectionModel()->selectedRows();
    if (rows.size() == 1) {
      int row = rows.front().row();
      Act(*control, [control, row] { framework::user::Select(*control, row); });
    } else if (Binding* found = Find(*control)) {
      // A single-selection list cannot be left without its selection by a click.
      ApplyListSelection(*found);
    }
  });
  connect(view, &QListView::doubleClicked, this, [this, control](const QModelIndex& index) {
    if (!applying_ && index.isValid())
      Act(*control, [control, row = index.row()] { framework::user::DoubleClick(*control, row); });
  });
}

void WindowView::Act(Control& control, const std::function<void()>& action) {
  gate_.Deliver(*window_, action);
  // The action may have destroyed the window, and this view with its models
  // detached; only a live control is shown again.
  if (window_) {
    if (Binding* binding = Find(control))
      ApplyControl(*binding);
  }
}

WindowView::Binding* WindowView::Find(const Control& control) {
  for (Binding& binding : bindings_) {
    if (binding.control == &control)
      return &binding;
  }
  return nullptr;
}

const WindowView::Binding* WindowView::Find(const Control& control) const {
  for (const Binding& binding : bindings_) {
    if (binding.control == &control)
      return &binding;
  }
  return nullptr;
}

QWidget* WindowView::WidgetOf(const Control& control) const {
  const Binding* binding = Find(control);
  return binding ? binding->widget : nullptr;
}

bool WindowView::Resizable() const {
  for (const Binding& binding : bindings_) {
    if (binding.control && binding.control->Kind() == ControlKind::ListBox)
      return true;
  }
  return false;
}

void WindowView::SyncControl(const Control& control) {
  if (Binding* binding = Find(control))
    ApplyControl(*binding);
}

void WindowView::ApplyControl(Binding& binding) {
  if (!binding.control)
    return;
  const Control& control = *binding.control;
  QWidget* widget = binding.widget;
  bool wasApplying = applying_;
  applying_ = true;
  QSignalBlocker blockWidget(widget);
  widget->setEnabled(control.IsEnabled());
  widget->setVisible(control.IsVisible() && !control.IsDestroyed());
  QString text = FromBytes(control.Text());
  switch (control.Kind()) {
    case ControlKind::PushButton: {
      auto* button = static_cast<QPushButton*>(widget);
      if (button->text() != text)
        button->setText(text);
      break;
    }
    case ControlKind::CheckBox: {
      auto* box = static_cast<QCheckBox*>(widget);
      if (box->text() != text)
        box->setText(text);
      box->setChecked(control.GetCheck() == framework::BST_CHECKED);
      break;
    }
    case ControlKind::Edit: {
      auto* edit = static_cast<QLineEdit*>(widget);
      // Only a real change is written: setText moves the cursor to the end.
      if (edit->text() != text)
        edit->setText(text);
      break;
    }
    case ControlKind::ComboBox: {
      auto* combo = static_cast<QComboBox*>(widget);
      const auto& model = static_cast<const framework::ComboBox&>(control);
      binding.comboModel->Refresh();
      if (combo->currentIndex() != model.GetCurSel())
        combo->setCurrentIndex(model.GetCurSel());
      if (QLineEdit* field = combo->lineEdit()) {
        QSignalBlocker blockField(field);
        if (field->text() != text)
          field->setText(text);
      }
      break;
    }
    case ControlKind::ListBox: {
      const auto& list = static_cast<const framework::ListBox&>(control);
      ApplyListSelection(binding);
      if (binding.shownExtent != list.GetHorizontalExtent()) {
        // The extent sets every line's width, and so the horizontal scroll range.
        binding.shownExtent = list.GetHorizontalExtent();
        static_cast<QListView*>(widget)->doItemsLayout();
      }
      break;
    }
    case ControlKind::GroupBox: {
      auto* group = static_cast<QGroupBox*>(widget);
      if (group->title() != text)
        group->setTitle(text);
      break;
    }
    case ControlKind::Static: {
      auto* label = static_cast<QLabel*>(widget);
      if (label->text() != text)
        label->setText(text);
      break;
    }
  }
  applying_ = wasApplying;
}

void WindowView::ApplyListSelection(Binding& binding) {
  auto* view = static_cast<QListView*>(binding.widget);
  const auto& list = static_cast<const framework::ListBox&>(*binding.control);
  bool wasApplying = applying_;
  applying_ = true;
  QItemSelectionModel* selection = view->selectionModel();
  int wanted = list.GetCurSel();
  QModelIndexList rows = selection->selectedRows();
  bool matches = wanted < 0 ? rows.isEmpty() : (rows.size() == 1 && rows.front().row() == wanted);
  if (!matches) {
    if (wanted < 0) {
      selection->clearSelection();
    } else {
      QModelIndex index = binding.listModel->index(wanted);
      selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
      view->scrollTo(index);
    }
  }
  applying_ = wasApplying;
}

void WindowView::ListRowsAboutToInsert(const framework::ListBox& list, int index, int count) {
  if (Binding* binding = Find(list)) {
    applying_ = true;
    binding->listModel->RowsAboutToInsert(index, count);
  }
}

void WindowView::ListRowsInserted(const framework::ListBox& list) {
  if (Binding* binding = Find(list)) {
    binding->listModel->RowsInserted();
    applying_ = false;
    ApplyListSelection(*binding);
  }
}

void WindowView::ListRowsAboutToRemove(const framework::ListBox& list, int index, int count) {
  if (Binding* binding = Find(list)) {
    applying_ = true;
    binding->listModel->RowsAboutToRemove(index, count);
  }
}

void WindowView::ListRowsRemoved(const framework::ListBox& list) {
  if (Binding* binding = Find(list)) {
    binding->listModel->RowsRemoved();
    applying_ = false;
    // Removing the selected row takes the selection away in the model; the
    // view may have moved it to a neighbour instead.
    ApplyListSelection(*binding);
  }
}

void WindowView::SyncWindow() {
  if (!window_)
    return;
  QString caption = FromBytes(window_->Caption());
  if (windowTitle() != caption)
    setWindowTitle(caption);
  Control* focus = window_->Focus();
  if (QWidget* widget = focus ? WidgetOf(*focus) : nullptr) {
    if (focusWidget() != widget && !widget->isAncestorOf(focusWidget())) {
      bool wasApplying = applying_;
      applying_ = true;
      widget->setFocus(Qt::OtherFocusReason);
      applying_ = wasApplying;
    }
  }
}

void WindowView::FocusWidgetChanged(QWidget* widget) {
  if (!window_ || applying_)
    return;
  for (QWidget* at = widget; at && at != this; at = at->parentWidget()) {
    for (const Binding& binding : bindings_) {
      if (binding.widget == at) {
        window_->SetFocus(binding.control);
        return;
      }
    }
  }
}

void WindowView::ShowWindowNow() {
  if (!placed_) {
    placed_ = true;
    if (QScreen* screen = QApplication::primaryScreen()) {
      QRect available = screen->availableGeometry();
      move(available.center() - QPoint(width() / 2, height() / 2));
    }
  }
  show();
  activateWindow();
  SyncWindow();
}

void WindowView::Detach() {
  applying_ = true;
  for (Binding& binding : bindings_) {
    if (binding.listModel)
      binding.listModel->Detach();
    if (binding.listDelegate)
      binding.listDelegate->Detach();
    if (binding.comboModel)
      binding.comboModel->Detach();
    binding.control = nullptr;
  }
  bindings_.clear();
  window_ = nullptr;
}

void WindowView::keyPressEvent(QKeyEvent* event) {
  if (window_ && IsEnterKey(*event)) {
    framework::Window& window = *window_;
    gate_.Deliver(window, [&window] { framework::user::PressEnter(window); });
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void WindowView::reject() {
  if (framework::Window* window = window_)
    gate_.Deliver(*window, [window] { framework::user::RequestClose(*window); });
}

void WindowView::closeEvent(QCloseEvent* event) {
  // The window goes when the framework destroys it, not when Qt closes it.
  event->ignore();
  reject();
}

void WindowView::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  QSize growth = size() - baseSize_;
  for (Binding& binding : bindings_) {
    if (binding.control && binding.control->Kind() == ControlKind::ListBox) {
      QRect rect = binding.baseRect;
      rect.setSize(rect.size() + growth.expandedTo(QSize(0, 0)));
      binding.widget->setGeometry(rect);
    }
  }
}

}  // namespace qtui
