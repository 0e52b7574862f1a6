#include "framework/ordered_list.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace framework {

namespace {

unsigned char Fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

}  // namespace

OrderedList::OrderedList() = default;
OrderedList::~OrderedList() = default;

void OrderedList::SetSortKey(SortKeyFunction keyOf) {
  keyOf_ = std::move(keyOf);
}

std::optional<std::string_view> OrderedList::KeyOf(std::string_view text) const {
  if (!keyOf_)
    return text;
  return keyOf_(text);
}

int OrderedList::BlockStart(std::size_t block) const {
  int sum = 0;
  for (std::size_t i = block; i > 0; i &= i - 1)
    sum += sizeTree_[i - 1];
  return sum;
}

void OrderedList::AddToSize(std::size_t block, int delta) {
  for (std::size_t i = block + 1; i <= sizeTree_.size(); i += i & (~i + 1)) {
    sizeTree_[i - 1] += delta;
  }
}

void OrderedList::RebuildSizes() {
  sizeTree_.assign(blocks_.size(), 0);
  for (std::size_t i = 0; i < blocks_.size(); ++i) {
    sizeTree_[i] += static_cast<int>(blocks_[i].size());
    std::size_t parent = i + ((i + 1) & (~(i + 1) + 1));
    if (parent < sizeTree_.size())
      sizeTree_[parent] += sizeTree_[i];
  }
}

std::pair<std::size_t, std::size_t> OrderedList::Locate(int index) const {
  if (blocks_.empty())
    return {0, 0};
  if (index >= count_)
    return {blocks_.size() - 1, blocks_.back().size()};
  // Descend the Fenwick tree to the block that holds the index.
  std::size_t block = 0;
  int remaining = index;
  std::size_t step = 1;
  while (step * 2 <= sizeTree_.size())
    step *= 2;
  for (; step > 0; step /= 2) {
    std::size_t next = block + step;
    if (next <= sizeTree_.size() && sizeTree_[next - 1] <= remaining) {
      block = next;
      remaining -= sizeTree_[next - 1];
    }
  }
  return {block, static_cast<std::size_t>(remaining)};
}

const std::string& OrderedList::At(int index) const {
  if (index < 0 || index >= count_)
    throw std::out_of_range("OrderedList::At");
  auto [block, offset] = Locate(index);
  return blocks_[block][offset];
}

void OrderedList::Insert(int index, std::string text) {
  if (index < 0 || index > count_)
    index = count_;
  if (blocks_.empty()) {
    blocks_.emplace_back();
    summaries_.emplace_back();
    RebuildSizes();
  }
  auto [block, offset] = Locate(index);
  Block& items = blocks_[block];
  std::optional<std::string_view> key = KeyOf(text);
  items.insert(items.begin() + static_cast<std::ptrdiff_t>(offset), std::move(text));
  ++count_;
  BlockSummary& summary = summaries_[block];
  int at = static_cast<int>(offset);
  if (summary.lastKeyed >= at)
    ++summary.lastKeyed;
  if (key && at > summary.lastKeyed)
    SetSummaryKey(summary, at, *KeyOf(items[offset]));
  if (items.size() <= kMaxBlock) {
    AddToSize(block, 1);
    return;
  }
  // Split a full block in two halves.
  Block upper(std::make_move_iterator(items.begin() + kMaxBlock / 2),
              std::make_move_iterator(items.end()));
  items.resize(kMaxBlock / 2);
  blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(upper));
  summaries_.insert(summaries_.begin() + static_cast<std::ptrdiff_t>(block) + 1, BlockSummary{});
  Summarize(block, static_cast<int>(blocks_[block].size()) - 1);
  Summarize(block + 1, static_cast<int>(blocks_[block + 1].size()) - 1);
  RebuildSizes();
}

void OrderedList::SetSummaryKey(BlockSummary& summary, int offset, std::string_view key) {
  summary.lastKeyed = offset;
  std::size_t length = key.size() < sizeof summary.prefix ? key.size() : sizeof summary.prefix;
  for (std::size_t i = 0; i < length; ++i) {
    summary.prefix[i] = static_cast<char>(Fold(static_cast<unsigned char>(key[i])));
  }
  summary.prefixLength = static_cast<unsigned char>(length);
  summary.wholeKey = length == key.size();
}

void OrderedList::Summarize(std::size_t block, int from) {
  BlockSummary& summary = summaries_[block];
  summary = BlockSummary{};
  for (int i = from; i >= 0; --i) {
    if (auto key = KeyOf(blocks_[block][static_cast<std::size_t>(i)])) {
      SetSummaryKey(summary, i, *key);
      return;
    }
  }
}

std::optional<int> OrderedList::CompareBlockKey(std::size_t block, std::string_view key) const {
  std::size_t b = block + 1;
  while (b > 0 && summaries_[b - 1].lastKeyed < 0)
    --b;
  if (b == 0)
    return std::nullopt;
  const BlockSummary& summary = summaries_[b - 1];
  std::size_t shared = summary.prefixLength < key.size() ? summary.prefixLength : key.size();
  for (std::size_t i = 0; i < shared; ++i) {
    auto x = static_cast<unsigned char>(summary.prefix[i]);
    unsigned char y = Fold(static_cast<unsigned char>(key[i]));
    if (x != y)
      return x < y ? -1 : 1;
  }
  // Decided by length alone unless both may go on, or a tie needs the raw bytes.
  if (key.size() == shared && summary.prefixLength > shared)
    return 1;
  if (summary.wholeKey && key.size() > shared)
    return -1;
  const std::string& text = blocks_[b - 1][static_cast<std::size_t>(summary.lastKeyed)];
  return CompareKeys(*KeyOf(text), key);
}

void OrderedList::Erase(int index) {
  if (index < 0 || index >= count_)
    return;
  auto [block, offset] = Locate(index);
  Block& items = blocks_[block];
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(offset));
  --count_;
  if (items.empty()) {
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(block));
    summaries_.erase(summaries_.begin() + static_cast<std::ptrdiff_t>(block));
    RebuildSizes();
    return;
  }
  AddToSize(block, -1);
  BlockSummary& summary = summaries_[block];
  int at = static_cast<int>(offset);
  if (at == summary.lastKeyed) {
    Summarize(block, at - 1);
  } else if (at < summary.lastKeyed) {
    --summary.lastKeyed;
  }
}

std::optional<std::string_view> OrderedList::LastKeyAtOrBefore(std::size_t block,
                                                               std::size_t offset) const {
  const Block& items = blocks_[block];
  for (std::size_t i = offset + 1; i-- > 0;) {
    if (auto key = KeyOf(items[i]))
      return key;
  }
  for (std::size_t b = block; b-- > 0;) {
    const BlockSummary& summary = summaries_[b];
    if (summary.lastKeyed >= 0)
      return KeyOf(blocks_[b][static_cast<std::size_t>(summary.lastKeyed)]);
  }
  return std::nullopt;
}

int OrderedList::AddSorted(std::string text) {
  int index = SortedIndexFor(text);
  Insert(index, std::move(text));
  return index;
}

int OrderedList::SortedIndexFor(std::string_view text) const {
  std::optional<std::string_view> key = KeyOf(text);
  if (!key || blocks_.empty())
    return count_;
  // "The last keyed item up to here sorts after the key" turns from false to
  // true at most once along the list, because keyed items are in order. Find
  // the first block where it holds, then the first item in that block.
  auto sortsAfter = [&](std::size_t block, std::size_t offset) {
    auto last = LastKeyAtOrBefore(block, offset);
    return last && CompareKeys(*last, *key) > 0;
  };
  std::size_t low = 0;
  std::size_t high = blocks_.size();
  while (low < high) {
    std::size_t middle = (low + high) / 2;
    auto order = CompareBlockKey(middle, *key);
    if (order && *order > 0) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  if (low == blocks_.size())
    return count_;
  std::size_t block = low;
  std::size_t first = 0;
  std::size_t last = blocks_[block].size() - 1;
  while (first < last) {
    std::size_t middle = (first + last) / 2;
    if (sortsAfter(block, middle)) {
      last = middle;
    } else {
      first = middle + 1;
    }
  }
  return BlockStart(block) + static_cast<int>(first);
}

void OrderedList::Clear() {
  blocks_.clear();
  summaries_.clear();
  sizeTree_.clear();
  count_ = 0;
}

int OrderedList::CompareKeys(std::string_view a, std::string_view b) {
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  // Paths share long prefixes: skip equal bytes eight at a time before folding.
  std::size_t i = 0;
  while (i + 8 <= n && std::memcmp(a.data() + i, b.data() + i, 8) == 0)
    i += 8;
  for (; i < n; ++i) {
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
