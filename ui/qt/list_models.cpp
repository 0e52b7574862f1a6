#include "ui/qt/list_models.h"

#include <QApplication>
#include <QListView>
#include <QPainter>
#include <QTextOption>
#include <algorithm>

#include "framework/window.h"

namespace qtui {

namespace {
QString FromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

// ---- ListBoxModel

ListBoxModel::ListBoxModel(framework::ListBox& list, QObject* parent)
    : QAbstractListModel(parent), list_(&list) {}

int ListBoxModel::rowCount(const QModelIndex& parent) const {
  return (parent.isValid() || !list_) ? 0 : list_->GetCount();
}

QVariant ListBoxModel::data(const QModelIndex& index, int role) const {
  if (!list_ || !index.isValid() || index.row() >= list_->GetCount())
    return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
    return FromBytes(list_->GetText(index.row()));
  return {};
}

void ListBoxModel::RowsAboutToInsert(int index, int count) {
  beginInsertRows(QModelIndex(), index, index + count - 1);
}

void ListBoxModel::RowsInserted() {
  endInsertRows();
}

void ListBoxModel::RowsAboutToRemove(int index, int count) {
  beginRemoveRows(QModelIndex(), index, index + count - 1);
}

void ListBoxModel::RowsRemoved() {
  endRemoveRows();
}

void ListBoxModel::Detach() {
  beginResetModel();
  list_ = nullptr;
  endResetModel();
}

// ---- ComboBoxModel

ComboBoxModel::ComboBoxModel(framework::ComboBox& combo, QObject* parent)
    : QAbstractListModel(parent), combo_(&combo), shownCount_(combo.GetCount()) {}

int ComboBoxModel::rowCount(const QModelIndex& parent) const {
  return (parent.isValid() || !combo_) ? 0 : shownCount_;
}

QVariant ComboBoxModel::data(const QModelIndex& index, int role) const {
  if (!combo_ || !index.isValid() || index.row() >= combo_->GetCount())
    return {};
  if (role == Qt::DisplayRole || role == Qt::EditRole)
    return FromBytes(combo_->GetLBText(index.row()));
  return {};
}

bool ComboBoxModel::Refresh() {
  if (!combo_ || combo_->GetCount() == shownCount_)
    return false;
  // Items are only ever added, at any place of the sorted list; a reset is
  // the simple and, for a history of a few entries, cheap way to show them.
  beginResetModel();
  shownCount_ = combo_->GetCount();
  endResetModel();
  return true;
}

void ComboBoxModel::Detach() {
  beginResetModel();
  combo_ = nullptr;
  shownCount_ = 0;
  endResetModel();
}

// ---- ListLineDelegate

ListLineDelegate::ListLineDelegate(QListView& view, const framework::ListBox& list,
                                   double tabStopPixels)
    : QStyledItemDelegate(&view), view_(view), list_(&list), tabStopPixels_(tabStopPixels) {}

void ListLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  QString text = item.text;
  item.text.clear();
  const QWidget* widget = item.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  // The style draws background, selection and focus; the text is drawn here
  // so that tabs land on the list's tab stops.
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

  QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
  if (textRect.isEmpty())
    textRect = item.rect;
  QTextOption textOption(Qt::AlignLeft | Qt::AlignVCenter);
  textOption.setWrapMode(QTextOption::NoWrap);
  textOption.setTabStopDistance(tabStopPixels_);
  bool selected = (item.state & QStyle::State_Selected) != 0;
  QPalette::ColorGroup group =
      (item.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
  painter->save();
  painter->setClipRect(textRect);
  painter->setFont(item.font);
  painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
  painter->drawText(QRectF(textRect), text, textOption);
  painter->restore();
}

QSize ListLineDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  QSize natural = QStyledItemDelegate::sizeHint(option, index);
  int extent = list_ ? list_->GetHorizontalExtent() : 0;
  int width = std::max(extent, view_.viewport()->width());
  int height = std::max(natural.height(), option.fontMetrics.height() + 2);
  return {width, height};
}

}  // namespace qtui
