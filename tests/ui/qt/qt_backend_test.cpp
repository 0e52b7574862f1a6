// Drives the desktop backend's real widgets on Qt's offscreen platform: each
// test runs a dialog modally and acts on it from a timer, as a user would.
#include <QAbstractProxyModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "criteria/find_dialog.h"
#include "framework/app.h"
#include "framework/backend.h"
#include "framework/dialog.h"
#include "framework/file_dialog.h"
#include "framework/message_box.h"
#include "framework/window.h"
#include "res/resource.h"
#include "res/templates.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/qt_backend.h"

namespace {

using framework::BN_CLICKED;
using framework::IDCANCEL;
using framework::IDOK;

struct Notification {
  int id;
  int code;
  bool operator==(const Notification&) const = default;
};

// A dialog over one of the program's templates that records every
// notification its controls send; clicks can be given actions.
class RecordingDialog : public framework::CDialog {
 public:
  explicit RecordingDialog(const framework::DialogTemplate& dialogTemplate)
      : CDialog(dialogTemplate) {}

  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    if (onInit)
      onInit(*this);
    return true;
  }

  void OnNotify(int controlId, int code) override {
    notifications.push_back({controlId, code});
    if (code == BN_CLICKED) {
      if (auto action = onClick.find(controlId); action != onClick.end()) {
        action->second();
        return;
      }
    }
    CDialog::OnNotify(controlId, code);
  }

  std::function<void(RecordingDialog&)> onInit;
  std::map<int, std::function<void()>> onClick;
  std::vector<Notification> notifications;
};

template <typename Widget>
Widget* ControlWidget(QWidget* view, int id) {
  return view ? view->findChild<Widget*>(QStringLiteral("control-%1").arg(id)) : nullptr;
}

QWidget* ShownTopLevel(const QString& name) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && widget->objectName() == name)
      return widget;
  }
  return nullptr;
}

template <typename Predicate>
bool WaitUntil(Predicate ready, int timeoutMs = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!ready()) {
    if (clock.elapsed() > timeoutMs)
      return false;
    QTest::qWait(5);
  }
  return true;
}

// Runs `drive` once the window named `name` is shown and its modal loop runs
// (the busy cursor is gone then), and closes that window afterwards if a
// failed check left it open, so that every modal run ends.
void WhenShown(const QString& name, std::function<void(QWidget&)> drive) {
  QTimer::singleShot(10, [name, drive] {
    QWidget* window = ShownTopLevel(name);
    if (!window || QApplication::overrideCursor()) {
      WhenShown(name, drive);
      return;
    }
    QPointer<QWidget> guarded(window);
    auto closeLeftOver = qScopeGuard([guarded] {
      if (guarded && guarded->isVisible())
        guarded->close();
    });
    drive(*window);
  });
}

QString WindowName(int templateId) {
  return QStringLiteral("window-%1").arg(templateId);
}

int RunDriven(framework::CDialog& dialog, std::function<void(QWidget&)> drive) {
  WhenShown(WindowName(dialog.TemplateId()), std::move(drive));
  return dialog.DoModal();
}

void Click(QWidget* widget) {
  QVERIFY(widget);
  QTest::mouseClick(widget, Qt::LeftButton);
}

void ClickRow(QListView* list, int row) {
  QModelIndex index = list->model()->index(row, 0);
  list->scrollTo(index);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

// Not blank: a good part of the pixels differ from the corner's, in more
// than a few colours.
void CheckDrawn(QWidget& window, const char* name) {
  QImage image = window.grab().toImage();
  QVERIFY(!image.isNull());
  QRgb corner = image.pixel(0, 0);
  std::set<QRgb> colours;
  qint64 differing = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      QRgb pixel = image.pixel(x, y);
      colours.insert(pixel);
      differing += pixel != corner;
    }
  }
  QVERIFY2(colours.size() > 8, name);
  QVERIFY2(differing * 50 > qint64(image.width()) * image.height(), name);
  QByteArray folder = qgetenv("MORVEL_SCREENSHOT_DIR");
  if (!folder.isEmpty())
    image.save(QString::fromUtf8(folder) + "/" + name + ".png");
}

int ticks = 0;
void CountTick(framework::Window*, unsigned, std::uintptr_t, std::uint32_t) {
  ++ticks;
}

QString Text(const framework::Control* control) {
  return control ? QString::fromStdString(control->Text()) : QString();
}

}  // namespace

class QtBackendTest : public QObject {
  Q_OBJECT

 private slots:
  void programWritesShowWithoutNotifications();
  void userInputReachesTheModelsAsNotifications();
  void keysOfTheDialog_data();
  void keysOfTheDialog();
  void tabMovesTheFocusInTemplateOrder();
  void geometryComesFromDialogUnits();
  void unitsShrinkOnlyForWindowsThatDoNotFit();
  void listShowsAMillionLinesAndFollowsTheModel();
  void resultsWindowResizesItsList();
  void busyCursorUntilTheModalLoopRuns();
  void timersRunInNestedLoopsWithFileDialogAndMessageBox();
  void supportDialogLeavesCriteriaUsable();
  void searchThroughTheWidgets();
  void everyWindowDrawsSomething();
  void withoutADisplayOneLineAndFailure();

 private:
  QTemporaryDir files_;
};

void QtBackendTest::programWritesShowWithoutNotifications() {
  RecordingDialog dialog(res::FindFilesTemplate());
  dialog.onInit = [](RecordingDialog& self) {
    framework::ComboBox* history = self.GetComboBox(res::IDC_START_DIRECTORY);
    history->AddString("/b");
    history->AddString("/a");
    history->SetCurSel(1);
    self.GetDlgItem(res::IDC_FILENAME_PATTERN)->SetWindowText("*.txt");
    self.GetDlgItem(res::IDC_SEARCH_SUBDIRECTORIES)->SetCheck(framework::BST_CHECKED);
    self.GetDlgItem(res::IDC_IGNORE_CASE)->EnableWindow(false);
    self.GetDlgItem(res::IDC_SUPPORT_INFO)->ShowWindow(framework::SW_HIDE);
    self.SetWindowText("Caption from the program");
  };
  RunDriven(dialog, [&](QWidget& view) {
    auto* history = ControlWidget<QComboBox>(&view, res::IDC_START_DIRECTORY);
    QVERIFY(history);
    QCOMPARE(history->count(), 2);
    QCOMPARE(history->itemText(0), QStringLiteral("/a"));
    QCOMPARE(history->currentText(), QStringLiteral("/b"));
    QCOMPARE(ControlWidget<QLineEdit>(&view, res::IDC_FILENAME_PATTERN)->text(),
             QStringLiteral("*.txt"));
    QVERIFY(ControlWidget<QCheckBox>(&view, res::IDC_SEARCH_SUBDIRECTORIES)->isChecked());
    QVERIFY(!ControlWidget<QCheckBox>(&view, res::IDC_IGNORE_CASE)->isEnabled());
    QVERIFY(ControlWidget<QPushButton>(&view, res::IDC_SUPPORT_INFO)->isHidden());
    QCOMPARE(view.windowTitle(), QStringLiteral("Caption from the program"));
    // Later writes, outside initialisation, are shown the same way.
    dialog.GetComboBox(res::IDC_START_DIRECTORY)->AddString("/0");
    dialog.GetDlgItem(res::IDC_SEARCH_STRING)->SetWindowText("needle");
    QCOMPARE(history->itemText(0), QStringLiteral("/0"));
    QCOMPARE(ControlWidget<QLineEdit>(&view, res::IDC_SEARCH_STRING)->text(),
             QStringLiteral("needle"));
    QVERIFY(dialog.notifications.empty());
  });
}

void QtBackendTest::userInputReachesTheModelsAsNotifications() {
  using framework::CBN_EDITCHANGE;
  using framework::CBN_EDITUPDATE;
  using framework::CBN_SELCHANGE;
  using framework::EN_CHANGE;
  using framework::EN_UPDATE;
  RecordingDialog dialog(res::FindFilesTemplate());
  dialog.onInit = [](RecordingDialog& self) {
    self.GetComboBox(res::IDC_START_DIRECTORY)->AddString("/a");
    self.GetComboBox(res::IDC_START_DIRECTORY)->AddString("/b");
    self.GetComboBox(res::IDC_START_DIRECTORY)->SetCurSel(1);
  };
  RunDriven(dialog, [&](QWidget& view) {
    auto* pattern = ControlWidget<QLineEdit>(&view, res::IDC_FILENAME_PATTERN);
    QTest::keyClicks(pattern, "ab");
    QCOMPARE(Text(dialog.GetDlgItem(res::IDC_FILENAME_PATTERN)), QStringLiteral("ab"));
    std::vector<Notification> typed{{res::IDC_FILENAME_PATTERN, EN_UPDATE},
                                    {res::IDC_FILENAME_PATTERN, EN_CHANGE},
                                    {res::IDC_FILENAME_PATTERN, EN_UPDATE},
                                    {res::IDC_FILENAME_PATTERN, EN_CHANGE}};
    QVERIFY(dialog.notifications == typed);
    dialog.notifications.clear();

    auto* subdirectories = ControlWidget<QCheckBox>(&view, res::IDC_SEARCH_SUBDIRECTORIES);
    Click(subdirectories);
    QCOMPARE(dialog.GetDlgItem(res::IDC_SEARCH_SUBDIRECTORIES)->GetCheck(), framework::BST_CHECKED);
    QVERIFY(subdirectories->isChecked());
    QVERIFY((dialog.notifications ==
             std::vector<Notification>{{res::IDC_SEARCH_SUBDIRECTORIES, BN_CLICKED}}));
    dialog.notifications.clear();

    auto* history = ControlWidget<QComboBox>(&view, res::IDC_START_DIRECTORY);
    history->setFocus();
    QTest::keyClick(history, Qt::Key_Up);
    QCOMPARE(dialog.GetComboBox(res::IDC_START_DIRECTORY)->GetCurSel(), 0);
    QCOMPARE(Text(dialog.GetDlgItem(res::IDC_START_DIRECTORY)), QStringLiteral("/a"));
    QVERIFY((dialog.notifications ==
             std::vector<Notification>{{res::IDC_START_DIRECTORY, CBN_SELCHANGE}}));
    dialog.notifications.clear();

    // Typing an entry's text is editing, not picking the entry.
    history->lineEdit()->selectAll();
    QTest::keyClicks(history->lineEdit(), "/b");
    QTest::keyClick(history->lineEdit(), Qt::Key_Tab);
    QCOMPARE(Text(dialog.GetDlgItem(res::IDC_START_DIRECTORY)), QStringLiteral("/b"));
    for (const Notification& notification : dialog.notifications) {
      QCOMPARE(notification.id, res::IDC_START_DIRECTORY);
      QVERIFY(notification.code == CBN_EDITUPDATE || notification.code == CBN_EDITCHANGE);
    }
    QVERIFY(!dialog.notifications.empty());
    QCOMPARE(dialog.GetComboBox(res::IDC_START_DIRECTORY)->GetCurSel(), 0);
  });
}

void QtBackendTest::keysOfTheDialog_data() {
  QTest::addColumn<QString>("action");
  QTest::addColumn<int>("result");
  QTest::addColumn<bool>("searchClicked");
  QTest::newRow("Enter in an edit presses the default button") << "enter" << IDOK << true;
  QTest::newRow("Enter in the combo box field presses the default button")
      << "enter-in-combo" << IDOK << true;
  QTest::newRow("Alt+S presses Search") << "mnemonic" << IDOK << true;
  QTest::newRow("Enter on the focused Cancel presses it") << "enter-on-cancel" << IDCANCEL << false;
  QTest::newRow("Esc cancels") << "escape" << IDCANCEL << false;
  QTest::newRow("The close box cancels") << "close" << IDCANCEL << false;
}

void QtBackendTest::keysOfTheDialog() {
  QFETCH(QString, action);
  QFETCH(int, result);
  QFETCH(bool, searchClicked);
  RecordingDialog dialog(res::FindFilesTemplate());
  dialog.onClick[res::IDC_SEARCH] = [&dialog] { dialog.EndDialog(IDOK); };
  int ended = RunDriven(dialog, [&](QWidget& view) {
    auto* pattern = ControlWidget<QLineEdit>(&view, res::IDC_FILENAME_PATTERN);
    if (action == "enter") {
      pattern->setFocus();
      QTest::keyClick(pattern, Qt::Key_Return);
    } else if (action == "enter-in-combo") {
      QLineEdit* field = ControlWidget<QComboBox>(&view, res::IDC_START_DIRECTORY)->lineEdit();
      field->setFocus();
      QTest::keyClicks(field, "/tmp");
      QTest::keyClick(field, Qt::Key_Return);
    } else if (action == "mnemonic") {
      pattern->setFocus();
      QTest::keyClick(view.windowHandle(), Qt::Key_S, Qt::AltModifier);
      QVERIFY(WaitUntil([&] { return !dialog.notifications.empty(); }));
    } else if (action == "enter-on-cancel") {
      auto* cancel = ControlWidget<QPushButton>(&view, IDCANCEL);
      cancel->setFocus();
      QTest::keyClick(cancel, Qt::Key_Return);
    } else if (action == "escape") {
      pattern->setFocus();
      QTest::keyClick(pattern, Qt::Key_Escape);
    } else {
      view.close();
    }
  });
  QCOMPARE(ended, result);
  bool clicked = std::find(dialog.notifications.begin(), dialog.notifications.end(),
                           Notification{res::IDC_SEARCH, BN_CLICKED}) != dialog.notifications.end();
  QCOMPARE(clicked, searchClicked);
}

void QtBackendTest::tabMovesTheFocusInTemplateOrder() {
  RecordingDialog dialog(res::FindFilesTemplate());
  RunDriven(dialog, [&](QWidget& view) {
    framework::Window* window = dialog.GetSafeWindow();
    QCOMPARE(window->Focus(), dialog.GetDlgItem(res::IDC_START_DIRECTORY));
    // Template order, skipping the statics: each Tab moves the model's focus too.
    for (int id :
         {res::IDC_SEARCH_SUBDIRECTORIES, res::IDC_FILENAME_PATTERN, res::IDC_SEARCH_STRING,
          res::IDC_IGNORE_CASE, res::IDC_SEARCH, IDCANCEL, res::IDC_SUPPORT_INFO}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(window->Focus(), dialog.GetDlgItem(id));
    }
    // And the program's focus moves the widgets' focus.
    window->SetFocus(dialog.GetDlgItem(res::IDC_SEARCH_STRING));
    QCOMPARE(QApplication::focusWidget(), ControlWidget<QLineEdit>(&view, res::IDC_SEARCH_STRING));
  });
}

void QtBackendTest::unitsShrinkOnlyForWindowsThatDoNotFit() {
  qtui::DialogUnits units(2.0, 4.0);
  struct Case {
    QSize available;
    double perX;
    double perY;
  };
  // A 100 by 50 unit window is 200 by 200 pixels in these units.
  for (const Case& c :
       {Case{{800, 600}, 2.0, 4.0}, Case{{100, 400}, 1.0, 2.0}, Case{{400, 50}, 0.5, 1.0}}) {
    qtui::DialogUnits fitted = units.FittedInto(QSize(100, 50), c.available);
    QCOMPARE(fitted.PixelsPerX(), c.perX);
    QCOMPARE(fitted.PixelsPerY(), c.perY);
  }
  // Both edges are rounded, so that touching controls keep touching.
  QCOMPARE(qtui::DialogUnits(1.5, 1.5).ToPixels({1, 1, 1, 1}), QRect(2, 2, 1, 1));
}

void QtBackendTest::geometryComesFromDialogUnits() {
  RecordingDialog dialog(res::FindFilesTemplate());
  RunDriven(dialog, [&](QWidget& view) {
    qtui::DialogUnits units = qtui::DialogUnits::ForFont(QApplication::font());
    QFontMetricsF metrics(QApplication::font());
    QCOMPARE(units.Y(8), qRound(metrics.height()));
    QVERIFY(units.X(4) > 0);
    for (int id : {res::IDC_SEARCH, IDCANCEL, res::IDC_SUPPORT_INFO}) {
      QRect expected = units.ToPixels(res::FindFilesTemplate().controls[0].rect);
      for (const auto& control : res::FindFilesTemplate().controls) {
        if (control.id == id)
          expected = units.ToPixels(control.rect);
      }
      QWidget* button = ControlWidget<QPushButton>(&view, id);
      QCOMPARE(button->pos(), expected.topLeft());
      QCOMPARE(button->height(), expected.height());
    }
    // Fixed size, at least the template's.
    QCOMPARE(view.minimumSize(), view.maximumSize());
    QVERIFY(view.width() >= units.X(res::FindFilesTemplate().width));
    QVERIFY(view.height() >= units.Y(res::FindFilesTemplate().height));
  });
}

void QtBackendTest::listShowsAMillionLinesAndFollowsTheModel() {
  constexpr int kLines = 1'000'000;
  RecordingDialog dialog(res::ListFilesTemplate());
  dialog.onInit = [](RecordingDialog& self) {
    framework::ListBox* list = self.GetListBox(res::IDC_RESULTS_LIST);
    list->SetHorizontalExtent(1000);
    for (int i = 0; i < kLines; ++i)
      list->InsertString(-1, "line\t" + std::to_string(i));
  };
  RunDriven(dialog, [&](QWidget& view) {
    framework::ListBox* model = dialog.GetListBox(res::IDC_RESULTS_LIST);
    auto* list = ControlWidget<QListView>(&view, res::IDC_RESULTS_LIST);
    QCOMPARE(list->model()->rowCount(), kLines);

    list->scrollToBottom();
    QModelIndex bottom = list->indexAt(QPoint(4, list->viewport()->height() - 4));
    QVERIFY(bottom.isValid());
    QVERIFY(bottom.row() > kLines - 100);
    QCOMPARE(bottom.data().toString(), QString::fromStdString(model->GetText(bottom.row())));
    QScrollBar* sideways = list->horizontalScrollBar();
    QCOMPARE(sideways->maximum(), 1000 - list->viewport()->width());

    ClickRow(list, kLines - 3);
    QCOMPARE(model->GetCurSel(), kLines - 3);
    QVERIFY((dialog.notifications ==
             std::vector<Notification>{{res::IDC_RESULTS_LIST, framework::LBN_SELCHANGE}}));
    dialog.notifications.clear();

    // The program's edits: rows above the selection come and go, and the
    // view's selection follows the model's without a notification.
    model->DeleteString(0);
    model->InsertString(10, "inserted");
    model->InsertString(11, "inserted too");
    QCOMPARE(list->model()->rowCount(), kLines + 1);
    QCOMPARE(list->selectionModel()->selectedRows().front().row(), model->GetCurSel());
    QCOMPARE(list->model()->index(10, 0).data().toString(), QStringLiteral("inserted"));
    model->DeleteString(model->GetCurSel());
    QVERIFY(list->selectionModel()->selectedRows().isEmpty());
    model->SetCurSel(5);
    QCOMPARE(list->selectionModel()->selectedRows().front().row(), 5);
    QVERIFY(dialog.notifications.empty());

    list->scrollToTop();
    QModelIndex third = list->model()->index(2, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(third).center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(third).center());
    QCOMPARE(model->GetCurSel(), 2);
    QVERIFY(std::find(dialog.notifications.begin(), dialog.notifications.end(),
                      Notification{res::IDC_RESULTS_LIST, framework::LBN_DBLCLK}) !=
            dialog.notifications.end());

    model->ResetContent();
    QCOMPARE(list->model()->rowCount(), 0);
  });
}

void QtBackendTest::resultsWindowResizesItsList() {
  RecordingDialog dialog(res::ListFilesTemplate());
  RunDriven(dialog, [&](QWidget& view) {
    auto* list = ControlWidget<QListView>(&view, res::IDC_RESULTS_LIST);
    QWidget* cancel = ControlWidget<QPushButton>(&view, IDCANCEL);
    QRect listBefore = list->geometry();
    QRect cancelBefore = cancel->geometry();
    QVERIFY(view.minimumSize() != view.maximumSize());
    view.resize(view.size() + QSize(120, 90));
    QCOMPARE(list->geometry(), listBefore.adjusted(0, 0, 120, 90));
    QCOMPARE(cancel->geometry(), cancelBefore);
    view.resize(view.minimumSize());
    QCOMPARE(list->geometry(), listBefore);
  });
}

void QtBackendTest::busyCursorUntilTheModalLoopRuns() {
  bool busyDuringInit = false;
  RecordingDialog dialog(res::SupportInfoTemplate());
  dialog.onInit = [&](RecordingDialog&) {
    const QCursor* cursor = QApplication::overrideCursor();
    busyDuringInit = cursor && cursor->shape() == Qt::WaitCursor;
  };
  RunDriven(dialog, [&](QWidget&) { QVERIFY(!QApplication::overrideCursor()); });
  QVERIFY(busyDuringInit);
  QVERIFY(!QApplication::overrideCursor());
}

void QtBackendTest::timersRunInNestedLoopsWithFileDialogAndMessageBox() {
  QVERIFY(files_.isValid());
  QDir folder(files_.path());
  QVERIFY(folder.mkpath("browse/subfolder"));
  QFile program(folder.filePath("browse/editor"));
  QVERIFY(program.open(QIODevice::WriteOnly));
  program.write("#!/bin/sh\n");
  program.close();
  program.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  QFile notes(folder.filePath("browse/notes.txt"));
  QVERIFY(notes.open(QIODevice::WriteOnly));
  notes.close();

  ticks = 0;
  std::string chosen;
  RecordingDialog dialog(res::ListFilesTemplate());
  dialog.onInit = [](RecordingDialog& self) { self.SetTimer(7, 10, CountTick); };
  dialog.onClick[res::IDC_BROWSE] = [&chosen] {
    framework::CFileDialog files(true, nullptr, nullptr, framework::OFN_EXECUTABLES,
                                 "Executable Files|*||");
    if (files.DoModal() == IDOK)
      chosen = files.GetPathName();
  };
  dialog.onClick[res::IDC_NARROW] = [] { framework::AfxMessageBox("Something to say"); };

  RunDriven(dialog, [&](QWidget& view) {
    QVERIFY(WaitUntil([] { return ticks >= 3; }));

    QTimer::singleShot(10, [&] {
      auto* files = qobject_cast<QFileDialog*>(ShownTopLevel("file"));
      QVERIFY(files);
      auto closeLeftOver = qScopeGuard([files] {
        if (files->isVisible())
          files->reject();
      });
      files->setDirectory(folder.filePath("browse"));
      auto* proxy = files->proxyModel();
      QVERIFY(proxy);
      auto* source = qobject_cast<QFileSystemModel*>(proxy->sourceModel());
      QModelIndex root = source->index(folder.filePath("browse"));
      QStringList listed;
      QVERIFY(WaitUntil([&] {
        QModelIndex shown = proxy->mapFromSource(root);
        listed.clear();
        for (int row = 0; row < proxy->rowCount(shown); ++row)
          listed << proxy->index(row, 0, shown).data().toString();
        listed.sort();
        return source->rowCount(root) == 3 && !listed.isEmpty();
      }));
      QCOMPARE(listed, (QStringList{"editor", "subfolder"}));
      int ticksBefore = ticks;
      QVERIFY(WaitUntil([&] { return ticks >= ticksBefore + 3; }));
      auto* name = files->findChild<QLineEdit*>("fileNameEdit");
      QVERIFY(name);
      QTest::keyClicks(name, "editor");
      QTest::keyClick(name, Qt::Key_Return);
    });
    Click(ControlWidget<QPushButton>(&view, res::IDC_BROWSE));
    QCOMPARE(QString::fromStdString(chosen), folder.filePath("browse/editor"));

    WhenShown("message", [&](QWidget& message) {
      QCOMPARE(message.windowTitle(), QStringLiteral("morvel"));
      QVERIFY(message.findChild<QLabel*>());
      QCOMPARE(message.findChild<QLabel*>()->text(), QStringLiteral("Something to say"));
      int ticksBefore = ticks;
      QVERIFY(WaitUntil([&] { return ticks >= ticksBefore + 3; }));
      QTest::keyClick(&message, Qt::Key_Return);
    });
    Click(ControlWidget<QPushButton>(&view, res::IDC_NARROW));
    QVERIFY(!ShownTopLevel("message"));
  });
}

void QtBackendTest::supportDialogLeavesCriteriaUsable() {
  CFindDialog criteria("Morvel - version 1.0b1", nullptr);
  int ended = RunDriven(criteria, [&](QWidget& view) {
    auto* search = ControlWidget<QPushButton>(&view, res::IDC_SEARCH);
    QVERIFY(!search->isEnabled());
    WhenShown(WindowName(res::IDD_SUPPORT_INFO), [&](QWidget& support) {
      QCOMPARE(ControlWidget<QLabel>(&support, res::IDC_PROGRAM_NAME)->text(),
               QStringLiteral("Morvel"));
      QVERIFY(view.isVisible());
      // The criteria dialog takes input while the support dialog is open.
      QTest::keyClicks(ControlWidget<QComboBox>(&view, res::IDC_START_DIRECTORY)->lineEdit(),
                       "/tmp");
      QTest::keyClicks(ControlWidget<QLineEdit>(&view, res::IDC_FILENAME_PATTERN), "*.c");
      QVERIFY(search->isEnabled());
      QTest::keyClick(&support, Qt::Key_Escape);
    });
    Click(ControlWidget<QPushButton>(&view, res::IDC_SUPPORT_INFO));
    QVERIFY(!ShownTopLevel(WindowName(res::IDD_SUPPORT_INFO)));
    QCOMPARE(Text(criteria.GetDlgItem(res::IDC_START_DIRECTORY)), QStringLiteral("/tmp"));
    Click(ControlWidget<QPushButton>(&view, IDCANCEL));
  });
  QCOMPARE(ended, IDCANCEL);
}

void QtBackendTest::searchThroughTheWidgets() {
  QDir folder(files_.path());
  QVERIFY(folder.mkpath("tree/sub"));
  auto write = [&](const QString& name, const QByteArray& content) {
    QFile file(folder.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
  };
  write("tree/a.txt", "one\ntwo\nneedle here\nfour\nfive\n");
  write("tree/b.txt", "nothing\n");
  write("tree/sub/c.txt", "a needle\n");
  write("tree/d.log", "needle\n");

  CFindDialog criteria("Morvel - version 1.0b1", nullptr);
  int ended = RunDriven(criteria, [&](QWidget& view) {
    QTest::keyClicks(ControlWidget<QComboBox>(&view, res::IDC_START_DIRECTORY)->lineEdit(),
                     folder.filePath("tree"));
    Click(ControlWidget<QCheckBox>(&view, res::IDC_SEARCH_SUBDIRECTORIES));
    QTest::keyClicks(ControlWidget<QLineEdit>(&view, res::IDC_FILENAME_PATTERN), "*.txt");
    QTest::keyClicks(ControlWidget<QLineEdit>(&view, res::IDC_SEARCH_STRING), "needle");
    auto* search = ControlWidget<QPushButton>(&view, res::IDC_SEARCH);
    QVERIFY(search->isEnabled());

    WhenShown(WindowName(res::IDD_LIST_FILES), [&](QWidget& results) {
      QVERIFY(!view.isVisible());
      auto* list = ControlWidget<QListView>(&results, res::IDC_RESULTS_LIST);
      auto* stop = ControlWidget<QPushButton>(&results, res::IDC_STOP);
      // The timer runs the search to its end: two files, STOP gone.
      QVERIFY(WaitUntil([&] { return list->model()->rowCount() == 2 && stop->isHidden(); }));
      QVERIFY(list->model()->index(0, 0).data().toString().endsWith("a.txt"));
      QVERIFY(list->model()->index(1, 0).data().toString().endsWith("c.txt"));

      ClickRow(list, 0);
      auto* expand = ControlWidget<QPushButton>(&results, res::IDC_EXPAND);
      Click(expand);
      QCOMPARE(list->model()->rowCount(), 3);
      QString match = list->model()->index(1, 0).data().toString();
      QVERIFY2(match.contains("needle here"), qPrintable(match));

      ClickRow(list, 1);
      auto* widen = ControlWidget<QPushButton>(&results, res::IDC_WIDEN);
      QVERIFY(widen->isEnabled());
      Click(widen);
      QCOMPARE(list->model()->rowCount(), 5);
      QVERIFY(list->model()->index(1, 0).data().toString().contains("two"));
      QVERIFY(list->model()->index(3, 0).data().toString().contains("four"));
      CheckDrawn(results, "results");

      Click(ControlWidget<QPushButton>(&results, res::IDC_ANOTHER_SEARCH));
    });
    Click(search);
    // Another Search: the criteria come back as they were typed.
    QVERIFY(view.isVisible());
    QVERIFY(!ShownTopLevel(WindowName(res::IDD_LIST_FILES)));
    QCOMPARE(ControlWidget<QLineEdit>(&view, res::IDC_SEARCH_STRING)->text(),
             QStringLiteral("needle"));
    Click(ControlWidget<QPushButton>(&view, IDCANCEL));
  });
  QCOMPARE(ended, IDCANCEL);
}

void QtBackendTest::everyWindowDrawsSomething() {
  CFindDialog criteria("Morvel - version 1.0b1", nullptr);
  RunDriven(criteria, [&](QWidget& view) {
    QTest::keyClicks(ControlWidget<QComboBox>(&view, res::IDC_START_DIRECTORY)->lineEdit(),
                     "/usr/share/doc");
    QTest::keyClicks(ControlWidget<QLineEdit>(&view, res::IDC_FILENAME_PATTERN), "*.txt");
    QTest::keyClicks(ControlWidget<QLineEdit>(&view, res::IDC_SEARCH_STRING), "license");
    CheckDrawn(view, "criteria");
    WhenShown(WindowName(res::IDD_SUPPORT_INFO), [](QWidget& support) {
      CheckDrawn(support, "support");
      QTest::keyClick(&support, Qt::Key_Return);
    });
    Click(ControlWidget<QPushButton>(&view, res::IDC_SUPPORT_INFO));
    Click(ControlWidget<QPushButton>(&view, IDCANCEL));
  });
  WhenShown("message", [](QWidget& message) {
    CheckDrawn(message, "message");
    QTest::keyClick(&message, Qt::Key_Escape);
  });
  QCOMPARE(framework::AfxMessageBox("Too many filename patterns (50 max)"), IDOK);
}

void QtBackendTest::withoutADisplayOneLineAndFailure() {
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    environment.remove(name);
  environment.insert("MORVEL_UI", "qt");
  environment.insert("XDG_CONFIG_HOME", files_.path());
  program.setProcessEnvironment(environment);
  program.start(MORVEL_BINARY, {});
  QVERIFY(program.waitForFinished(30000));
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), 1);
  QByteArray errors = program.readAllStandardError();
  QCOMPARE(errors.count('\n'), 1);
  QVERIFY2(errors.contains("display"), errors.constData());
}

// The backend makes the one application object; the tests run inside it,
// with settings in a folder of their own.
class TestApplication : public framework::CWinApp {
 public:
  TestApplication() : CWinApp("morvel") {}
};

int main(int argc, char** argv) {
  QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
  std::unique_ptr<qtui::QtBackend> backend = qtui::QtBackend::Create(argc, argv);
  if (!backend)
    return 1;
  framework::SetCurrentBackend(backend.get());
  TestApplication application;
  application.SetRegistryKey("Quenlith");
  QtBackendTest test;
  int status = QTest::qExec(&test, argc, argv);
  framework::SetCurrentBackend(nullptr);
  return status;
}

#include "qt_backend_test.moc"
