#include "engine/directory_walker.h"

#include <algorithm>
#include <cstring>

#include "platform/directory/directory_reader.h"
#include "platform/directory/wildcard.h"

namespace {

// Blocks grow from small (a walk that finds a handful of files costs little) to a
// size at which the unused end of the last block is small beside the rest.
constexpr std::size_t kFirstBlockSize = 4 * 1024;
constexpr std::size_t kLargestBlockSize = 256 * 1024;

bool HasPeriod(std::string_view name) {
  return std::memchr(name.data(), '.', name.size()) != nullptr;
}

bool EndsWithSeparator(std::string_view directory) {
  return !directory.empty() && directory.back() == '/';
}

void AppendJoined(std::string& list, std::string_view directory, std::string_view name) {
  list.append(directory);
  if (!EndsWithSeparator(directory)) {
    list.push_back('/');
  }
  list.append(name);
  list.push_back('\0');
}

}  // namespace

CDirectoryWalker::CDirectoryWalker(std::string_view directory, std::string_view pattern,
                                   bool searchSubdirectories) {
  Walk(directory, pattern, searchSubdirectories);
  TrimLastBlock();
  Rewind();
}

void CDirectoryWalker::Walk(std::string_view directory, std::string_view pattern,
                            bool searchSubdirectories) {
  if (directory.empty() || pattern.empty()) {
    return;
  }
  const platform::WildcardPattern matcher(pattern);
  platform::DirectoryReader reader;

  // Each level is the full paths of its directories, each closed by a zero byte,
  // in the order they are to be searched.
  std::string level;
  level.append(directory);
  level.push_back('\0');
  std::string nextLevel;
  std::string current;
  while (!level.empty()) {
    for (std::size_t pos = 0; pos < level.size();) {
      std::size_t end = level.find('\0', pos);
      current.assign(level, pos, end - pos);
      pos = end + 1;
      // Links are followed in the start directory as the user named it, never below.
      if (!reader.Open(current, directory.size())) {
        continue;
      }
      bool addSeparator = !EndsWithSeparator(current);
      platform::DirectoryEntry entry;
      while (reader.Next(entry)) {
        bool isResult = matcher.Matches(entry.name);
        bool mayEnter = searchSubdirectories && !HasPeriod(entry.name);
        // Links are never entered, so only a matching one needs a look-up.
        if (!isResult && (!mayEnter || entry.type == platform::ListedType::kSymbolicLink)) {
          continue;
        }
        platform::EntryKind kind = reader.KindOf(entry);
        if (kind == platform::EntryKind::kFile && isResult) {
          AppendResult(current, addSeparator, entry.name);
        } else if (kind == platform::EntryKind::kDirectory && mayEnter) {
          AppendJoined(nextLevel, current, entry.name);
        }
      }
      reader.Close();
    }
    level.swap(nextLevel);
    nextLevel.clear();
  }
}

void CDirectoryWalker::AppendResult(std::string_view directory, bool addSeparator,
                                    std::string_view name) {
  std::size_t length = directory.size() + (addSeparator ? 1 : 0) + name.size();
  std::size_t needed = length + 1;
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < needed) {
    std::size_t size = blocks_.empty() ? kFirstBlockSize
                                       : std::min(blocks_.back().capacity * 2, kLargestBlockSize);
    size = std::max(size, needed);
    blocks_.push_back(Block{std::unique_ptr<char[]>(new char[size]), size, 0});
  }
  Block& block = blocks_.back();
  char* out = block.bytes.get() + block.used;
  std::memcpy(out, directory.data(), directory.size());
  out += directory.size();
  if (addSeparator) {
    *out++ = '/';
  }
  std::memcpy(out, name.data(), name.size());
  out[name.size()] = '\0';
  block.used += needed;
  ++count_;
  pathBytes_ += length;
}

// The last block is mostly unused after a large walk; a copy of its used part
// gives that memory back.
void CDirectoryWalker::TrimLastBlock() {
  if (blocks_.empty() || blocks_.back().used == blocks_.back().capacity) {
    return;
  }
  Block& last = blocks_.back();
  std::unique_ptr<char[]> exact(new char[last.used]);
  std::memcpy(exact.get(), last.bytes.get(), last.used);
  last.bytes = std::move(exact);
  last.capacity = last.used;
  blocks_.shrink_to_fit();
}

void CDirectoryWalker::Rewind() {
  cursorBlock_ = 0;
  cursorOffset_ = 0;
}

std::string CDirectoryWalker::NextPath() {
  while (cursorBlock_ < blocks_.size() && cursorOffset_ >= blocks_[cursorBlock_].used) {
    ++cursorBlock_;
    cursorOffset_ = 0;
  }
  if (cursorBlock_ >= blocks_.size()) {
    return std::string();
  }
  const Block& block = blocks_[cursorBlock_];
  const char* start = block.bytes.get() + cursorOffset_;
  std::size_t length = std::strlen(start);
  cursorOffset_ += length + 1;
  return std::string(start, length);
}

std::size_t CDirectoryWalker::StoredBytes() const {
  std::size_t total = blocks_.capacity() * sizeof(Block);
  for (const Block& block : blocks_) {
    total += block.capacity;
  }
  return total;
}
