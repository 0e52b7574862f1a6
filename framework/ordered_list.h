#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace framework {

// A sequence of text items with order statistics: reading, inserting and
// erasing at an index cost far less than moving every later item, so a list
// of a million items stays fast however it is edited. A sorted add places an
// item among the items that have a sort key; items without one (as the
// owner's key function decides) stay with the keyed item above them, so a
// sorted add never lands inside such a run.
class OrderedList {
 public:
  // Returns the part of an item's text that it sorts by, or nothing for items
  // that travel with the item above them.
  using SortKeyFunction = std::function<std::optional<std::string_view>(std::string_view)>;

  OrderedList();
  ~OrderedList();
  OrderedList(const OrderedList&) = delete;
  OrderedList& operator=(const OrderedList&) = delete;

  // Without a key function every item sorts by its whole text.
  void SetSortKey(SortKeyFunction keyOf);

  int Count() const { return count_; }
  const std::string& At(int index) const;
  // Inserts before the item at index; an index of Count() or -1 appends.
  void Insert(int index, std::string text);
  void Erase(int index);
  // Inserts before the first keyed item whose key sorts after the new item's
  // key (ASCII case ignored, then byte order), or at the end. Keyed items are
  // expected in that order, as sorted adds leave them. Returns the index.
  int AddSorted(std::string text);
  // Where AddSorted would put text.
  int SortedIndexFor(std::string_view text) const;
  void Clear();

  // Case-insensitive ordering used by sorted adds: ASCII letters folded,
  // ties broken by the bytes themselves.
  static int CompareKeys(std::string_view a, std::string_view b);

 private:
  // Items live in blocks of at most kMaxBlock; a Fenwick tree over the block
  // sizes turns an index into a block and an offset in O(log blocks).
  static constexpr std::size_t kMaxBlock = 256;
  static constexpr std::size_t kPrefixBytes = 45;

  // Sixteen bytes of an item's folded key, taken after the prefix that every
  // keyed item of its block shares: enough to place most keys in a block
  // without touching the items themselves.
  struct Print {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    bool keyed = false;
  };
  struct Block {
    std::vector<std::string> items;
    std::vector<Print> prints;
    // The folded start that all keyed items of the block share.
    std::size_t sharedLength = 0;
    bool hasShared = false;
    char shared[kPrefixBytes] = {};
  };
  // What the search over blocks needs of each block, kept side by side for
  // all blocks so that search stays in cache: where the block's last keyed
  // item is and the start of its key, folded.
  struct BlockSummary {
    int lastKeyed = -1;
    unsigned char prefixLength = 0;
    bool wholeKey = false;
    char prefix[kPrefixBytes] = {};
  };

  std::optional<std::string_view> KeyOf(std::string_view text) const;
  // Block and offset of an index; an index of Count() gives the end of the last block.
  std::pair<std::size_t, std::size_t> Locate(int index) const;
  int BlockStart(std::size_t block) const;
  void AddToSize(std::size_t block, int delta);
  void RebuildSizes();
  // Records the print of the item just inserted at offset.
  void AddPrint(Block& block, std::size_t offset, std::optional<std::string_view> key);
  // Recomputes every print of a block after its shared start changed.
  void RefreshPrints(Block& block);
  // Works out the shared start of a block's keyed items afresh, and the prints.
  void ResetShared(Block& block);
  // The offset in a block before which a sorted add puts key.
  std::size_t SortedOffsetIn(const Block& block, std::string_view key) const;
  // Sets a block's summary from its items at or before `from`.
  void Summarize(std::size_t block, int from);
  void SetSummaryKey(BlockSummary& summary, int offset, std::string_view key);
  // Compares the last key at or before the end of `block` with key; nothing
  // when no keyed item stands there.
  std::optional<int> CompareBlockKey(std::size_t block, std::string_view key) const;

  std::vector<std::unique_ptr<Block>> blocks_;
  std::vector<BlockSummary> summaries_;
  std::vector<int> sizeTree_;  // Fenwick tree of the block sizes
  int count_ = 0;
  SortKeyFunction keyOf_;
};

}  // namespace framework
