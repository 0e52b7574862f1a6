#include "framework/ordered_list.h"

#include <stdexcept>
#include <utility>

namespace framework {

// An implicit treap: positions come from subtree sizes, balance from random
// priorities. Each node also knows the last keyed node of its subtree, which
// lets a sorted add descend in O(log n) because keyed items stay in order.
struct OrderedList::Node {
  std::string text;
  Node* left = nullptr;
  Node* right = nullptr;
  Node* lastKeyed = nullptr;
  std::uint32_t size = 1;
  std::uint32_t priority = 0;
  bool keyed = false;
};

namespace {

using Node = OrderedList::Node;

std::uint32_t SizeOf(const Node* node) {
  return node ? node->size : 0;
}

void Refresh(Node* node) {
  node->size = 1 + SizeOf(node->left) + SizeOf(node->right);
  if (node->right && node->right->lastKeyed) {
    node->lastKeyed = node->right->lastKeyed;
  } else if (node->keyed) {
    node->lastKeyed = node;
  } else {
    node->lastKeyed = node->left ? node->left->lastKeyed : nullptr;
  }
}

// Splits into the first `count` items and the rest.
void Split(Node* node, std::uint32_t count, Node*& first, Node*& rest) {
  if (!node) {
    first = rest = nullptr;
    return;
  }
  if (SizeOf(node->left) < count) {
    Split(node->right, count - SizeOf(node->left) - 1, node->right, rest);
    first = node;
  } else {
    Split(node->left, count, first, node->left);
    rest = node;
  }
  Refresh(node);
}

Node* Merge(Node* a, Node* b) {
  if (!a)
    return b;
  if (!b)
    return a;
  if (a->priority > b->priority) {
    a->right = Merge(a->right, b);
    Refresh(a);
    return a;
  }
  b->left = Merge(a, b->left);
  Refresh(b);
  return b;
}

void DeleteTree(Node* node) {
  while (node) {
    // Rotate left children up so the loop never recurses.
    if (node->left) {
      Node* left = node->left;
      node->left = left->right;
      left->right = node;
      node = left;
    } else {
      Node* right = node->right;
      delete node;
      node = right;
    }
  }
}

unsigned char Fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

}  // namespace

OrderedList::OrderedList() = default;

OrderedList::~OrderedList() {
  DeleteTree(root_);
}

void OrderedList::SetSortKey(SortKeyFunction keyOf) {
  keyOf_ = std::move(keyOf);
}

int OrderedList::Count() const {
  return static_cast<int>(SizeOf(root_));
}

const std::string& OrderedList::At(int index) const {
  if (index < 0 || index >= Count()) {
    throw std::out_of_range("OrderedList::At");
  }
  auto position = static_cast<std::uint32_t>(index);
  const Node* node = root_;
  for (;;) {
    std::uint32_t leftSize = SizeOf(node->left);
    if (position < leftSize) {
      node = node->left;
    } else if (position == leftSize) {
      return node->text;
    } else {
      position -= leftSize + 1;
      node = node->right;
    }
  }
}

std::optional<std::string_view> OrderedList::KeyOf(std::string_view text) const {
  if (!keyOf_) {
    return text;
  }
  return keyOf_(text);
}

OrderedList::Node* OrderedList::NewNode(std::string text) {
  auto* node = new Node;
  node->keyed = KeyOf(text).has_value();
  node->text = std::move(text);
  seed_ ^= seed_ << 13;
  seed_ ^= seed_ >> 17;
  seed_ ^= seed_ << 5;
  node->priority = seed_;
  Refresh(node);
  return node;
}

void OrderedList::Insert(int index, std::string text) {
  int count = Count();
  if (index < 0 || index > count) {
    index = count;
  }
  Node* first = nullptr;
  Node* rest = nullptr;
  Split(root_, static_cast<std::uint32_t>(index), first, rest);
  root_ = Merge(Merge(first, NewNode(std::move(text))), rest);
}

void OrderedList::Erase(int index) {
  if (index < 0 || index >= Count()) {
    return;
  }
  Node* first = nullptr;
  Node* middle = nullptr;
  Node* rest = nullptr;
  Split(root_, static_cast<std::uint32_t>(index), first, rest);
  Split(rest, 1, middle, rest);
  delete middle;
  root_ = Merge(first, rest);
}

int OrderedList::AddSorted(std::string text) {
  int index = SortedIndexFor(text);
  Insert(index, std::move(text));
  return index;
}

int OrderedList::SortedIndexFor(std::string_view text) const {
  std::optional<std::string_view> key = KeyOf(text);
  int index = Count();
  if (key) {
    std::uint32_t position = 0;
    const Node* node = root_;
    while (node) {
      if (node->left && node->left->lastKeyed &&
          CompareKeys(*KeyOf(node->left->lastKeyed->text), *key) > 0) {
        node = node->left;
      } else if (node->keyed && CompareKeys(*KeyOf(node->text), *key) > 0) {
        index = static_cast<int>(position + SizeOf(node->left));
        break;
      } else {
        position += SizeOf(node->left) + 1;
        node = node->right;
      }
    }
  }
  return index;
}

void OrderedList::Clear() {
  DeleteTree(root_);
  root_ = nullptr;
}

int OrderedList::CompareKeys(std::string_view a, std::string_view b) {
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = Fold(static_cast<unsigned char>(a[i]));
    unsigned char y = Fold(static_cast<unsigned char>(b[i]));
    if (x != y)
      return x < y ? -1 : 1;
  }
  if (a.size() != b.size())
    return a.size() < b.size() ? -1 : 1;
  int raw = a.compare(b);
  return raw < 0 ? -1 : (raw > 0 ? 1 : 0);
}

}  // namespace framework
