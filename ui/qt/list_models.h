#pragma once

#include <QAbstractListModel>
#include <QStyledItemDelegate>

namespace framework {
class ComboBox;
class ListBox;
}  // namespace framework

class QListView;

namespace qtui {

// The rows of a framework list box, read where they live: the view asks only
// for the rows it draws, so a list of a million lines costs nothing to show.
class ListBoxModel : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit ListBoxModel(framework::ListBox& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // The framework brackets each change to its rows with these calls.
  void RowsAboutToInsert(int index, int count);
  void RowsInserted();
  void RowsAboutToRemove(int index, int count);
  void RowsRemoved();
  // The list box is about to go away: the model shows no rows from now on.
  void Detach();

 private:
  framework::ListBox* list_;
};

// The items of a framework combo box, for the combo box's drop-down list.
class ComboBoxModel : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit ComboBoxModel(framework::ComboBox& combo, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // Shows the items again when their number changed; returns whether it did.
  bool Refresh();
  void Detach();

 private:
  framework::ComboBox* combo_;
  int shownCount_ = 0;
};

// Draws one list line as plain text with its tab characters expanded to
// fixed tab stops, and gives every line the same size: the list's
// horizontal extent wide, or the view's width when that is more.
class ListLineDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  ListLineDelegate(QListView& view, const framework::ListBox& list, double tabStopPixels);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  void Detach() { list_ = nullptr; }

 private:
  QListView& view_;
  const framework::ListBox* list_;
  double tabStopPixels_;
};

}  // namespace qtui
