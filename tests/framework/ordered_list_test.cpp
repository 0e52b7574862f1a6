#include "framework/ordered_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using framework::OrderedList;

std::vector<std::string> Contents(const OrderedList& list) {
  std::vector<std::string> items;
  for (int i = 0; i < list.Count(); ++i)
    items.push_back(list.At(i));
  return items;
}

// Items starting with a space travel with the item above, like content lines.
std::optional<std::string_view> KeyUnlessIndented(std::string_view text) {
  if (!text.empty() && text.front() == ' ')
    return std::nullopt;
  return text;
}

TEST(OrderedListTest, RandomEditsMatchAVector) {
  OrderedList list;
  std::vector<std::string> reference;
  std::mt19937 random(7);
  for (int step = 0; step < 8000; ++step) {
    int action = static_cast<int>(random() % 3);
    if (action < 2 || reference.empty()) {
      int index = static_cast<int>(random() % (reference.size() + 1));
      std::string text = "item" + std::to_string(step);
      list.Insert(index, text);
      reference.insert(reference.begin() + index, text);
    } else {
      int index = static_cast<int>(random() % reference.size());
      list.Erase(index);
      reference.erase(reference.begin() + index);
    }
  }
  ASSERT_EQ(list.Count(), static_cast<int>(reference.size()));
  EXPECT_EQ(Contents(list), reference);
}

TEST(OrderedListTest, SortedAddIgnoresCaseAndKeepsEqualKeysInArrivalOrder) {
  OrderedList list;
  for (const char* text : {"beta", "Alpha", "gamma", "alpha", "ALPHA", "Beta"})
    list.AddSorted(text);
  EXPECT_EQ(Contents(list),
            (std::vector<std::string>{"ALPHA", "Alpha", "alpha", "Beta", "beta", "gamma"}));
}

TEST(OrderedListTest, SortedAddInRandomOrderGivesSortedList) {
  OrderedList list;
  std::vector<std::string> texts;
  for (int i = 0; i < 5000; ++i)
    texts.push_back("/tree/file" + std::to_string(i * 7919 % 5000));
  std::vector<std::string> expected = texts;
  std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
    return OrderedList::CompareKeys(a, b) < 0;
  });
  for (const std::string& text : texts)
    list.AddSorted(text);
  EXPECT_EQ(Contents(list), expected);
}

TEST(OrderedListTest, SortedAddNeverSplitsARunOfUnkeyedItems) {
  OrderedList list;
  list.SetSortKey(KeyUnlessIndented);
  list.AddSorted("b");
  list.AddSorted("d");
  list.Insert(1, " b1");
  list.Insert(2, " b2");
  list.AddSorted("c");
  list.AddSorted("a");
  list.AddSorted("e");
  EXPECT_EQ(Contents(list), (std::vector<std::string>{"a", "b", " b1", " b2", "c", "d", "e"}));
}

TEST(OrderedListTest, SortedAddBehindAnUnkeyedRunAtTheEnd) {
  OrderedList list;
  list.SetSortKey(KeyUnlessIndented);
  list.AddSorted("a");
  list.Insert(1, " a1");
  EXPECT_EQ(list.AddSorted("b"), 2);
  EXPECT_EQ(list.AddSorted("A"), 0);
}

// The first keyed item whose key sorts after text's, found the slow way.
int ReferenceSortedIndex(const std::vector<std::string>& items, const std::string& text) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    auto key = KeyUnlessIndented(items[i]);
    if (key && OrderedList::CompareKeys(*key, text) > 0)
      return static_cast<int>(i);
  }
  return static_cast<int>(items.size());
}

TEST(OrderedListTest, SortedAddsAmongRunsAndErasesMatchTheSlowWay) {
  OrderedList list;
  list.SetSortKey(KeyUnlessIndented);
  std::vector<std::string> reference;
  std::mt19937 random(11);
  // Long shared prefixes and keys that are prefixes of each other test the
  // block summaries' shortcuts; indented runs make blocks without keys.
  const std::string stems[] = {"/a/very/long/shared/directory/prefix/that/goes/on/", "/s/"};
  for (int step = 0; step < 3000; ++step) {
    int action = static_cast<int>(random() % 10);
    if (action < 5) {
      std::string text =
          stems[random() % 2] + std::string(random() % 3, 'Q') + std::to_string(random() % 500);
      if (random() % 2)
        text[1] = 'A';
      int expected = ReferenceSortedIndex(reference, text);
      ASSERT_EQ(list.AddSorted(text), expected) << text;
      reference.insert(reference.begin() + expected, text);
    } else if (action < 8 && !reference.empty()) {
      // A run of content below a random item, now and then longer than a block.
      int index = static_cast<int>(random() % reference.size()) + 1;
      int length = random() % 40 == 0 ? 300 : 8;
      for (int i = 0; i < length; ++i) {
        list.Insert(index, "  content");
        reference.insert(reference.begin() + index, "  content");
      }
    } else if (!reference.empty()) {
      int index = static_cast<int>(random() % reference.size());
      std::string erased = reference[static_cast<std::size_t>(index)];
      list.Erase(index);
      reference.erase(reference.begin() + index);
      // Adding the same key straight back meets whatever the erase left behind.
      if (KeyUnlessIndented(erased)) {
        int expected = ReferenceSortedIndex(reference, erased);
        ASSERT_EQ(list.AddSorted(erased), expected) << erased;
        reference.insert(reference.begin() + expected, erased);
      }
    }
  }
  EXPECT_EQ(Contents(list), reference);
}

TEST(OrderedListTest, OutOfRangeAccessThrowsAndEraseIgnores) {
  OrderedList list;
  list.Insert(-1, "only");
  EXPECT_THROW(list.At(1), std::out_of_range);
  list.Erase(5);
  EXPECT_EQ(list.Count(), 1);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
