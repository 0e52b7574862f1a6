#include "framework/ordered_list.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace framework {

namespace {

unsigned char Fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

unsigned char FoldedAt(std::string_view text, std::size_t at) {
  return Fold(static_cast<unsigned char>(text[at]));
}

// Eight folded bytes of key from `skip` on, big-endian, zero past its end.
std::uint64_t FoldedWord(std::string_view key, std::size_t skip) {
  std::uint64_t bytes = 0;
  for (std::size_t i = skip; i < skip + 8; ++i) {
    bytes = bytes << 8 | (i < key.size() ? FoldedAt(key, i) : 0u);
  }
  return bytes;
}

// Prints compare as their keys do, except that equal prints may still differ.
int ComparePrints(std::uint64_t aHigh, std::uint64_t aLow, std::uint64_t bHigh,
                  std::uint64_t bLow) {
  if (aHigh != bHigh)
    return aHigh < bHigh ? -1 : 1;
  if (aLow != bLow)
    return aLow < bLow ? -1 : 1;
  return 0;
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
    sizeTree_[i] += static_cast<int>(blocks_[i]->items.size());
    std::size_t parent = i + ((i + 1) & (~(i + 1) + 1));
    if (parent < sizeTree_.size())
      sizeTree_[parent] += sizeTree_[i];
  }
}

std::pair<std::size_t, std::size_t> OrderedList::Locate(int index) const {
  if (blocks_.empty())
    return {0, 0};
  if (index >= count_)
    return {blocks_.size() - 1, blocks_.back()->items.size()};
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
  return blocks_[block]->items[offset];
}

void OrderedList::Insert(int index, std::string text) {
  if (index < 0 || index > count_)
    index = count_;
  if (blocks_.empty()) {
    blocks_.push_back(std::make_unique<Block>());
    summaries_.emplace_back();
    RebuildSizes();
  }
  auto [block, offset] = Locate(index);
  Block& target = *blocks_[block];
  target.items.insert(target.items.begin() + static_cast<std::ptrdiff_t>(offset), std::move(text));
  std::optional<std::string_view> key = KeyOf(target.items[offset]);
  AddPrint(target, offset, key);
  ++count_;
  BlockSummary& summary = summaries_[block];
  int at = static_cast<int>(offset);
  if (summary.lastKeyed >= at)
    ++summary.lastKeyed;
  if (key && at > summary.lastKeyed)
    SetSummaryKey(summary, at, *key);
  if (target.items.size() <= kMaxBlock) {
    AddToSize(block, 1);
    return;
  }
  // Split a full block in two halves. Each half shares at least what the
  // whole block shared, usually more: prints taken after a longer shared
  // start tell more keys apart.
  auto upper = std::make_unique<Block>();
  auto middle = static_cast<std::ptrdiff_t>(kMaxBlock / 2);
  upper->items.assign(std::make_move_iterator(target.items.begin() + middle),
                      std::make_move_iterator(target.items.end()));
  upper->prints.assign(target.prints.begin() + middle, target.prints.end());
  target.items.resize(kMaxBlock / 2);
  target.prints.resize(kMaxBlock / 2);
  ResetShared(target);
  ResetShared(*upper);
  blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(upper));
  summaries_.insert(summaries_.begin() + static_cast<std::ptrdiff_t>(block) + 1, BlockSummary{});
  Summarize(block, static_cast<int>(blocks_[block]->items.size()) - 1);
  Summarize(block + 1, static_cast<int>(blocks_[block + 1]->items.size()) - 1);
  RebuildSizes();
}

void OrderedList::AddPrint(Block& block, std::size_t offset, std::optional<std::string_view> key) {
  auto position = block.prints.begin() + static_cast<std::ptrdiff_t>(offset);
  if (!key) {
    block.prints.insert(position, Print{});
    return;
  }
  if (!block.hasShared) {
    // The first keyed item: its start is what the block shares so far.
    block.sharedLength = key->size() < kPrefixBytes ? key->size() : kPrefixBytes;
    for (std::size_t i = 0; i < block.sharedLength; ++i) {
      block.shared[i] = static_cast<char>(FoldedAt(*key, i));
    }
    block.hasShared = true;
  }
  std::size_t common = 0;
  while (common < block.sharedLength && common < key->size() &&
         static_cast<unsigned char>(block.shared[common]) == FoldedAt(*key, common)) {
    ++common;
  }
  block.prints.insert(position,
                      Print{FoldedWord(*key, common), FoldedWord(*key, common + 8), true});
  if (common < block.sharedLength) {
    block.sharedLength = common;
    RefreshPrints(block);
  }
}

void OrderedList::ResetShared(Block& block) {
  block.hasShared = false;
  block.sharedLength = 0;
  for (std::size_t i = 0; i < block.items.size(); ++i) {
    if (!block.prints[i].keyed)
      continue;
    std::string_view key = *KeyOf(block.items[i]);
    if (!block.hasShared) {
      block.sharedLength = key.size() < kPrefixBytes ? key.size() : kPrefixBytes;
      for (std::size_t k = 0; k < block.sharedLength; ++k) {
        block.shared[k] = static_cast<char>(FoldedAt(key, k));
      }
      block.hasShared = true;
      continue;
    }
    std::size_t common = 0;
    while (common < block.sharedLength && common < key.size() &&
           static_cast<unsigned char>(block.shared[common]) == FoldedAt(key, common)) {
      ++common;
    }
    block.sharedLength = common;
  }
  RefreshPrints(block);
}

void OrderedList::RefreshPrints(Block& block) {
  for (std::size_t i = 0; i < block.items.size(); ++i) {
    if (!block.prints[i].keyed)
      continue;
    std::string_view key = *KeyOf(block.items[i]);
    block.prints[i].high = FoldedWord(key, block.sharedLength);
    block.prints[i].low = FoldedWord(key, block.sharedLength + 8);
  }
}

void OrderedList::Erase(int index) {
  if (index < 0 || index >= count_)
    return;
  auto [block, offset] = Locate(index);
  Block& target = *blocks_[block];
  target.items.erase(target.items.begin() + static_cast<std::ptrdiff_t>(offset));
  target.prints.erase(target.prints.begin() + static_cast<std::ptrdiff_t>(offset));
  --count_;
  if (target.items.empty()) {
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

void OrderedList::SetSummaryKey(BlockSummary& summary, int offset, std::string_view key) {
  summary.lastKeyed = offset;
  std::size_t length = key.size() < kPrefixBytes ? key.size() : kPrefixBytes;
  for (std::size_t i = 0; i < length; ++i)
    summary.prefix[i] = static_cast<char>(FoldedAt(key, i));
  summary.prefixLength = static_cast<unsigned char>(length);
  summary.wholeKey = length == key.size();
}

void OrderedList::Summarize(std::size_t block, int from) {
  BlockSummary& summary = summaries_[block];
  summary = BlockSummary{};
  const Block& source = *blocks_[block];
  for (int i = from; i >= 0; --i) {
    auto offset = static_cast<std::size_t>(i);
    if (source.prints[offset].keyed) {
      SetSummaryKey(summary, i, *KeyOf(source.items[offset]));
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
    unsigned char y = FoldedAt(key, i);
    if (x != y)
      return x < y ? -1 : 1;
  }
  // Decided by length alone unless both may go on, or a tie needs the raw bytes.
  if (key.size() == shared && summary.prefixLength > shared)
    return 1;
  if (summary.wholeKey && key.size() > shared)
    return -1;
  const std::string& text = blocks_[b - 1]->items[static_cast<std::size_t>(summary.lastKeyed)];
  return CompareKeys(*KeyOf(text), key);
}

std::size_t OrderedList::SortedOffsetIn(const Block& block, std::string_view key) const {
  const std::size_t size = block.items.size();
  std::size_t firstKeyed = 0;
  while (firstKeyed < size && !block.prints[firstKeyed].keyed)
    ++firstKeyed;
  // A key that sorts before the shared start sorts before every keyed item.
  for (std::size_t i = 0; i < block.sharedLength; ++i) {
    if (i == key.size())
      return firstKeyed;
    auto shared = static_cast<unsigned char>(block.shared[i]);
    unsigned char folded = FoldedAt(key, i);
    if (folded != shared)
      return folded < shared ? firstKeyed : size;
  }
  const std::uint64_t high = FoldedWord(key, block.sharedLength);
  const std::uint64_t low = FoldedWord(key, block.sharedLength + 8);
  // Keyed items are in order, so their prints are too: find the run of
  // prints equal to the key's, and look at the items themselves only there.
  std::size_t i = firstKeyed;
  int order = -1;
  for (; i < size; ++i) {
    const Print& item = block.prints[i];
    if (item.keyed && (order = ComparePrints(item.high, item.low, high, low)) >= 0)
      break;
  }
  if (i == size || order > 0)
    return i;
  std::vector<std::size_t> ties;
  for (; i < size; ++i) {
    const Print& item = block.prints[i];
    if (!item.keyed)
      continue;
    if (ComparePrints(item.high, item.low, high, low) > 0)
      break;
    ties.push_back(i);
  }
  std::size_t first = 0;
  std::size_t last = ties.size();
  while (first < last) {
    std::size_t middle = (first + last) / 2;
    if (CompareKeys(*KeyOf(block.items[ties[middle]]), key) > 0) {
      last = middle;
    } else {
      first = middle + 1;
    }
  }
  return first < ties.size() ? ties[first] : i;
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
  // "The last keyed item up to the end of this block sorts after the key"
  // turns from false to true at most once along the list, because keyed
  // items are in order; the first block where it holds has the place.
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
  return BlockStart(low) + static_cast<int>(SortedOffsetIn(*blocks_[low], *key));
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
    unsigned char x = FoldedAt(a, i);
    unsigned char y = FoldedAt(b, i);
    if (x != y)
      return x < y ? -1 : 1;
  }
  if (a.size() != b.size())
    return a.size() < b.size() ? -1 : 1;
  int raw = a.compare(b);
  return raw < 0 ? -1 : (raw > 0 ? 1 : 0);
}

}  // namespace framework
