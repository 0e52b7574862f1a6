#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/user_input.h"
#include "framework/window.h"

namespace {

using namespace framework;

DialogTemplate TestTemplate() {
  DialogTemplate dialog;
  dialog.id = 900;
  dialog.caption = "Test";
  dialog.controls = {
      {10, ControlKind::ComboBox, "", {0, 0, 10, 10}, kStyleSorted | kStyleTabStop},
      {11, ControlKind::ListBox, "", {0, 0, 10, 10}, kStyleSorted | kStyleNotify | kStyleTabStop},
      {12, ControlKind::Edit, "", {0, 0, 10, 10}, kStyleTabStop},
      {13, ControlKind::CheckBox, "Box", {0, 0, 10, 10}, kStyleTabStop},
      {14, ControlKind::PushButton, "&Go", {0, 0, 10, 10}, kStyleDefaultButton},
  };
  return dialog;
}

class RecordingEvents : public WindowEvents {
 public:
  void OnNotify(int controlId, int code) override { notifications.emplace_back(controlId, code); }
  void OnCloseRequest() override { ++closeRequests; }
  std::vector<std::pair<int, int>> notifications;
  int closeRequests = 0;
};

class ControlsTest : public ::testing::Test {
 protected:
  RecordingEvents events;
  Window window{WindowKind::Dialog, TestTemplate(), &events};
  ComboBox& combo = *dynamic_cast<ComboBox*>(window.Find(10));
  ListBox& list = *dynamic_cast<ListBox*>(window.Find(11));
  Control& edit = *window.Find(12);
  Control& check = *window.Find(13);
  Control& button = *window.Find(14);
};

TEST_F(ControlsTest, ComboFindsAndSelectsIgnoringCase) {
  combo.AddString("D:\\B");
  combo.AddString("c:\\a");
  combo.AddString("C:\\Work");
  EXPECT_EQ(combo.GetLBText(0), "c:\\a");
  EXPECT_EQ(combo.FindStringExact(-1, "C:\\A"), 0);
  EXPECT_EQ(combo.FindStringExact(-1, "C:\\"), CB_ERR);
  // The search starts after `start` and wraps round.
  EXPECT_EQ(combo.FindStringExact(1, "c:\\A"), 0);
  EXPECT_EQ(combo.SelectString(-1, "c:\\w"), 1);
  EXPECT_EQ(combo.GetCurSel(), 1);
  EXPECT_EQ(combo.Text(), "C:\\Work");
  EXPECT_EQ(combo.SelectString(-1, "e:"), CB_ERR);
  EXPECT_EQ(combo.GetCurSel(), 1);
}

TEST_F(ControlsTest, ListSelectionFollowsItsItem) {
  for (const char* text : {"b", "d", "f"})
    list.AddString(text);
  list.SetCurSel(1);
  list.InsertString(0, "a");
  EXPECT_EQ(list.GetCurSel(), 2);
  list.DeleteString(0);
  EXPECT_EQ(list.GetCurSel(), 1);
  list.InsertString(2, "e");  // below: no change
  EXPECT_EQ(list.GetCurSel(), 1);
  list.DeleteString(1);  // the selected item itself
  EXPECT_EQ(list.GetCurSel(), LB_ERR);
  EXPECT_EQ(list.SetCurSel(7), LB_ERR);
  EXPECT_EQ(list.DeleteString(9), LB_ERR);
  EXPECT_EQ(list.GetText(9), "");
}

TEST_F(ControlsTest, ProgramWritesSendNoNotifications) {
  edit.SetWindowText("typed by the program");
  check.SetCheck(BST_CHECKED);
  list.AddString("x");
  list.SetCurSel(0);
  combo.AddString("y");
  combo.SetCurSel(0);
  EXPECT_TRUE(events.notifications.empty());
}

TEST_F(ControlsTest, UserActionsChangeTheModelAndNotify) {
  ASSERT_TRUE(user::TypeText(edit, "abc"));
  ASSERT_TRUE(user::TypeText(combo, "/tmp"));
  ASSERT_TRUE(user::Click(check));
  list.AddString("one");
  list.AddString("two");
  ASSERT_TRUE(user::DoubleClick(list, 1));
  ASSERT_TRUE(user::Click(button));
  EXPECT_EQ(edit.Text(), "abc");
  EXPECT_EQ(combo.Text(), "/tmp");
  EXPECT_EQ(check.GetCheck(), BST_CHECKED);
  EXPECT_EQ(list.GetCurSel(), 1);
  std::vector<std::pair<int, int>> expected = {
      {12, EN_UPDATE},  {12, EN_CHANGE},     {10, CBN_EDITUPDATE}, {10, CBN_EDITCHANGE},
      {13, BN_CLICKED}, {11, LBN_SELCHANGE}, {11, LBN_DBLCLK},     {14, BN_CLICKED}};
  EXPECT_EQ(events.notifications, expected);
}

TEST_F(ControlsTest, UnusableControlsTakeNoUserAction) {
  button.EnableWindow(false);
  check.ShowWindow(SW_HIDE);
  edit.DestroyWindow();
  EXPECT_FALSE(user::Click(button));
  EXPECT_FALSE(user::Click(check));
  EXPECT_FALSE(user::TypeText(edit, "x"));
  EXPECT_FALSE(user::Select(list, 0));     // no such item
  EXPECT_FALSE(user::PressEnter(window));  // the default button is disabled
  EXPECT_EQ(check.GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(edit.Text(), "");
  EXPECT_TRUE(events.notifications.empty());
}

TEST_F(ControlsTest, EnterPressesTheDefaultButtonAndEscapeAsksToClose) {
  EXPECT_TRUE(user::PressEnter(window));
  EXPECT_TRUE(user::RequestClose(window));
  EXPECT_EQ(events.notifications, (std::vector<std::pair<int, int>>{{14, BN_CLICKED}}));
  EXPECT_EQ(events.closeRequests, 1);
}

TEST_F(ControlsTest, DestroyedWindowLeavesTheWindowList) {
  auto count = AllWindows().size();
  window.Destroy();
  EXPECT_EQ(AllWindows().size(), count - 1);
  EXPECT_FALSE(user::Click(button));
}

}  // namespace
