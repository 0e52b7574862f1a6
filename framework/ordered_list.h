#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace framework {

// A sequence of text items with order statistics: reading, inserting and
// erasing at an index cost O(log n), so a list of a million items stays fast
// however it is edited. A sorted add places an item among the items that have
// a sort key; items without one (as the owner's key function decides) stay
// with the keyed item above them, so a sorted add never lands inside such a run.
class OrderedList {
 public:
  // Returns the part of an item's text that it sorts by, or nothing for items
  // that travel with the item above them.
  using SortKeyFunction = std::function<std::optional<std::string_view>(std::string_view)>;

  OrderedList();
  ~OrderedList();
  OrderedList(const OrderedList&) = delete;
  OrderedList& operator=(const OrderedList&) = delete;

  // Without a key function every item sorts by its whole text. Set it before
  // the first item is added.
  void SetSortKey(SortKeyFunction keyOf);

  int Count() const;
  const std::string& At(int index) const;
  // Inserts before the item at index; an index of Count() or -1 appends.
  void Insert(int index, std::string text);
  void Erase(int index);
  // Inserts before the first keyed item whose key sorts after the new item's
  // key (ASCII case ignored, then byte order), or at the end. Returns the index.
  int AddSorted(std::string text);
  // Where AddSorted would put text.
  int SortedIndexFor(std::string_view text) const;
  void Clear();

  // Case-insensitive ordering used by sorted adds: ASCII letters folded,
  // ties broken by the bytes themselves.
  static int CompareKeys(std::string_view a, std::string_view b);

 public:
  struct Node;

 private:
  std::optional<std::string_view> KeyOf(std::string_view text) const;
  Node* NewNode(std::string text);

  Node* root_ = nullptr;
  SortKeyFunction keyOf_;
  std::uint32_t seed_ = 0x9E3779B9u;
};

}  // namespace framework
