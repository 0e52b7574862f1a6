#include "engine/content_scanner.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "platform/files/regular_file.h"

namespace engine {
namespace {

constexpr unsigned char kCr = '\r';
constexpr unsigned char kLf = '\n';
constexpr std::size_t kNotFound = std::numeric_limits<std::size_t>::max();

inline bool IsEnd(unsigned char c) {
  return c == kCr || c == kLf;
}

// Sixteen bytes handled as one value. GCC and Clang map it to the machine's
// vector registers where it has them and to plain code elsewhere, so the hot
// loops below need no per-machine code.
using Bytes16 = unsigned char __attribute__((vector_size(16)));
constexpr std::size_t kVector = sizeof(Bytes16);

inline Bytes16 Load(const unsigned char* bytes) {
  Bytes16 value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

inline Bytes16 Broadcast(unsigned char byte) {
  Bytes16 value;
  for (std::size_t k = 0; k < kVector; ++k) {
    value[k] = byte;
  }
  return value;
}

// A comparison gives 0 or 0xFF in each byte, typed as signed bytes.
template <typename Mask>
inline Bytes16 AsBytes(Mask mask) {
  static_assert(sizeof(Mask) == sizeof(Bytes16));
  Bytes16 value;
  std::memcpy(&value, &mask, sizeof value);
  return value;
}

struct MaskWords {
  std::uint64_t word[2];
};

inline MaskWords Words(Bytes16 mask) {
  MaskWords words;
  std::memcpy(&words, &mask, sizeof words);
  return words;
}

inline bool Any(Bytes16 mask) {
  const MaskWords words = Words(mask);
  return (words.word[0] | words.word[1]) != 0;
}

// Offset, in memory order, of the first set byte of a nonzero mask word.
inline unsigned FirstSetByte(std::uint64_t word) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<unsigned>(std::countr_zero(word)) / 8;
  } else {
    return static_cast<unsigned>(std::countl_zero(word)) / 8;
  }
}

inline std::uint64_t ClearByte(std::uint64_t word, unsigned offset) {
  const unsigned shift = std::endian::native == std::endian::little ? offset * 8 : (7 - offset) * 8;
  return word & ~(std::uint64_t{0xFF} << shift);
}

// First position in [from, limit) that holds CR or LF, or limit.
std::size_t FindLineEnd(const unsigned char* data, std::size_t from, std::size_t limit) {
  const Bytes16 cr = Broadcast(kCr);
  const Bytes16 lf = Broadcast(kLf);
  std::size_t at = from;
  for (; at + kVector <= limit; at += kVector) {
    const Bytes16 bytes = Load(data + at);
    const Bytes16 ends = AsBytes((bytes == cr) | (bytes == lf));
    if (Any(ends)) {
      const MaskWords words = Words(ends);
      return words.word[0] != 0 ? at + FirstSetByte(words.word[0])
                                : at + 8 + FirstSetByte(words.word[1]);
    }
  }
  while (at < limit && !IsEnd(data[at])) {
    ++at;
  }
  return at;
}

// Where the text of the line holding position begins and ends in data.
struct LineBounds {
  std::size_t start;
  std::size_t end;
};

LineBounds FindLineBounds(const unsigned char* data, std::size_t position, std::size_t dataEnd) {
  std::size_t start = position + 1;  // the position itself is looked at first
  while (start > 0 && !IsEnd(data[start - 1])) {
    --start;
  }
  return {start, FindLineEnd(data, start, dataEnd)};
}

// The search text prepared for matching. Folding case only ever adds 32 to
// 'A'..'Z', so a folded letter of the text matches a byte exactly when the
// byte with bit 0x20 set equals it; every other byte must be equal as it is.
class Needle {
 public:
  Needle(std::string_view text, bool ignoreCase) : ignoreCase_(ignoreCase) {
    for (const char raw : text) {
      unsigned char byte = static_cast<unsigned char>(raw);
      if (ignoreCase && byte >= 'A' && byte <= 'Z') {
        byte = static_cast<unsigned char>(byte + 32);
      }
      bytes_.push_back(byte);
      ignoredBits_.push_back(ignoreCase && byte >= 'a' && byte <= 'z' ? 0x20 : 0);
    }
  }

  std::size_t Length() const { return bytes_.size(); }

  // First position p in [from, limit) where the text matches data[p, p +
  // Length()), or kNotFound. Bytes up to limit + Length() - 1 are read. Whole
  // vectors of candidates are filtered on the text's first and last bytes.
  std::size_t Find(const unsigned char* data, std::size_t from, std::size_t limit) const {
    const std::size_t lastOffset = bytes_.size() - 1;
    const Bytes16 first = Broadcast(bytes_.front());
    const Bytes16 firstBits = Broadcast(ignoredBits_.front());
    const Bytes16 last = Broadcast(bytes_.back());
    const Bytes16 lastBits = Broadcast(ignoredBits_.back());
    std::size_t at = from;
    for (; at + kVector <= limit; at += kVector) {
      const Bytes16 heads = Load(data + at) | firstBits;
      const Bytes16 tails = Load(data + at + lastOffset) | lastBits;
      const Bytes16 candidates = AsBytes((heads == first) & (tails == last));
      if (!Any(candidates)) {
        continue;
      }
      const MaskWords words = Words(candidates);
      for (unsigned half = 0; half < 2; ++half) {
        for (std::uint64_t word = words.word[half]; word != 0;) {
          const unsigned offset = FirstSetByte(word);
          const std::size_t position = at + half * 8 + offset;
          if (MatchesAt(data + position)) {
            return position;
          }
          word = ClearByte(word, offset);
        }
      }
    }
    for (; at < limit; ++at) {
      if ((data[at] | ignoredBits_.front()) == bytes_.front() && MatchesAt(data + at)) {
        return at;
      }
    }
    return kNotFound;
  }

 private:
  bool MatchesAt(const unsigned char* at) const {
    if (!ignoreCase_) {
      return std::memcmp(at, bytes_.data(), bytes_.size()) == 0;
    }
    for (std::size_t k = 0; k < bytes_.size(); ++k) {
      if ((at[k] | ignoredBits_[k]) != bytes_[k]) {
        return false;
      }
    }
    return true;
  }

  bool ignoreCase_;
  std::vector<unsigned char> bytes_;
  std::vector<unsigned char> ignoredBits_;
};

// Counts lines the way the results show them: every CR or LF ends a line,
// except a CR or LF right after a CR that ended one, which belongs to it.
class LineCounter {
 public:
  std::int64_t Line() const { return line_; }

  // Counts the line ends of data[begin, end). When the line number reaches
  // target at some byte, stops there and returns that byte's position;
  // otherwise returns kNotFound with everything counted.
  std::size_t CountUntil(const unsigned char* data, std::size_t begin, std::size_t end,
                         std::int64_t target) {
    while (begin < end) {
      // One byte with the carried state, then at most 255 vectors so that a
      // byte-wide count cannot overflow.
      const std::size_t chunkEnd = std::min(end, begin + 1 + 255 * kVector);
      std::int64_t counted = IsEnd(data[begin]) && !afterCountedCr_ ? 1 : 0;
      bool crRun = data[begin] == kCr && afterCountedCr_;
      // Outside runs of CRs, a line end counts exactly when no CR precedes it.
      const Bytes16 cr = Broadcast(kCr);
      const Bytes16 lf = Broadcast(kLf);
      const Bytes16 one = Broadcast(1);
      Bytes16 sums = Broadcast(0);
      Bytes16 crPairs = Broadcast(0);
      std::size_t at = begin + 1;
      for (; at + kVector <= chunkEnd; at += kVector) {
        const Bytes16 bytes = Load(data + at);
        const Bytes16 previousIsCr = AsBytes(Load(data + at - 1) == cr);
        const Bytes16 ends = AsBytes((bytes == cr) | (bytes == lf));
        sums += ends & ~previousIsCr & one;
        crPairs |= AsBytes(bytes == cr) & previousIsCr;
      }
      for (std::size_t k = 0; k < kVector; ++k) {
        counted += sums[k];
      }
      crRun = crRun || Any(crPairs);
      for (; at < chunkEnd; ++at) {
        counted += IsEnd(data[at]) && data[at - 1] != kCr ? 1 : 0;
        crRun = crRun || (data[at] == kCr && data[at - 1] == kCr);
      }
      if (crRun || line_ + counted >= target) {
        // Byte by byte: in a run of CRs each one depends on the one before,
        // and the target's exact byte is wanted.
        for (at = begin; at < chunkEnd; ++at) {
          if (Step(data[at]) && line_ >= target) {
            return at;
          }
        }
      } else {
        line_ += counted;
        afterCountedCr_ = data[chunkEnd - 1] == kCr;
      }
      begin = chunkEnd;
    }
    return kNotFound;
  }

  std::size_t CountAll(const unsigned char* data, std::size_t begin, std::size_t end) {
    return CountUntil(data, begin, end, std::numeric_limits<std::int64_t>::max());
  }

  // Bytes without a line end were passed over.
  void PassPlainBytes() { afterCountedCr_ = false; }

 private:
  bool Step(unsigned char byte) {
    const bool counted = IsEnd(byte) && !afterCountedCr_;
    line_ += counted ? 1 : 0;
    afterCountedCr_ = counted && byte == kCr;
    return counted;
  }

  std::int64_t line_ = 1;
  bool afterCountedCr_ = false;
};

// The bytes of the file now in the buffer.
struct Block {
  const platform::RegularFile& file;
  std::int64_t fileSize;
  const unsigned char* data;
  std::int64_t base;  // file offset of data[0]
  std::size_t dataEnd;
};

std::string FormatEntry(std::string_view contentIndent, std::string_view marker,
                        std::int64_t lineNumber, const unsigned char* text,
                        std::size_t textLength) {
  char digits[24];
  const auto converted = std::to_chars(digits, digits + sizeof digits, lineNumber);
  const std::size_t digitCount = static_cast<std::size_t>(converted.ptr - digits);
  std::string entry;
  entry.reserve(contentIndent.size() + marker.size() + digitCount + textLength + 2);
  entry.append(contentIndent).append(marker).append(1, ' ');
  entry.append(digits, digitCount).append(1, ' ');
  entry.append(reinterpret_cast<const char*>(text), textLength);
  return entry;
}

// The byte at a file offset, from the buffer or else from the file.
bool ByteAt(const Block& block, std::int64_t offset, unsigned char& byte) {
  if (offset >= block.fileSize) {
    return false;
  }
  if (offset < block.base + static_cast<std::int64_t>(block.dataEnd)) {
    byte = block.data[offset - block.base];
    return true;
  }
  char read = 0;
  if (block.file.ReadAt(offset, &read, 1) != 1) {
    return false;
  }
  byte = static_cast<unsigned char>(read);
  return true;
}

// The text of the line that starts at a file offset at or after the block's
// first byte, read on from the file where it runs past the block, and at most
// maxLength bytes of it.
std::string LineTextFrom(const Block& block, std::int64_t start, std::size_t maxLength) {
  std::string text;
  std::int64_t offset = start;
  const std::int64_t blockEnd = block.base + static_cast<std::int64_t>(block.dataEnd);
  if (offset < blockEnd) {
    const std::size_t from = static_cast<std::size_t>(offset - block.base);
    const std::size_t stop = FindLineEnd(block.data, from, block.dataEnd);
    text.assign(reinterpret_cast<const char*>(block.data + from), std::min(stop - from, maxLength));
    if (stop < block.dataEnd || text.size() == maxLength) {
      return text;
    }
    offset = blockEnd;
  }
  std::vector<unsigned char> piece(64 * 1024);
  while (text.size() < maxLength && offset < block.fileSize) {
    const std::size_t wanted = std::min(
        {piece.size(), static_cast<std::size_t>(block.fileSize - offset), maxLength - text.size()});
    const std::size_t got =
        block.file.ReadAt(offset, reinterpret_cast<char*>(piece.data()), wanted);
    const std::size_t stop = FindLineEnd(piece.data(), 0, got);
    text.append(reinterpret_cast<const char*>(piece.data()), stop);
    if (stop < got || got < wanted) {
      break;
    }
    offset += static_cast<std::int64_t>(got);
  }
  return text;
}

}  // namespace

bool IsLineEnd(char c) {
  return IsEnd(static_cast<unsigned char>(c));
}

std::string GetLineText(const char* buffer, std::size_t position, std::size_t dataEnd) {
  if (position >= dataEnd) {
    return {};
  }
  const auto* data = reinterpret_cast<const unsigned char*>(buffer);
  const LineBounds line = FindLineBounds(data, position, dataEnd);
  return std::string(buffer + line.start, line.end - line.start);
}

int ScanFile(std::string_view searchText, const std::string& path, int mode, bool ignoreCase,
             std::string_view contentIndent, std::string_view marker, const LineSink& insertLine) {
  const bool testMode = mode == 0;
  const bool listMode = mode == 1;
  const bool contextMode = mode < 0;
  if (!testMode && !listMode && !contextMode) {
    return 0;
  }
  if (!contextMode && searchText.empty()) {
    return 1;
  }
  // Context mode scans every byte, as a one-byte text would.
  const std::int64_t contextLine = contextMode ? -static_cast<std::int64_t>(mode) : 0;
  const Needle needle(contextMode ? std::string_view(" ") : searchText, ignoreCase);
  const std::size_t textLength = needle.Length();

  const platform::RegularFile file(path);
  if (!file.IsOpen()) {
    return 0;
  }
  const std::int64_t fileSize = file.Size();
  if (fileSize < static_cast<std::int64_t>(textLength)) {
    return 0;  // no position where the text fits, and an empty file has no lines
  }

  const std::size_t capacity = std::max(kScanBlockBytes, 2 * textLength);
  const std::size_t bufferSize = static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(capacity), fileSize));
  std::unique_ptr<unsigned char[]> buffer;
  try {
    buffer = std::make_unique_for_overwrite<unsigned char[]>(bufferSize);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  unsigned char* const data = buffer.get();

  Block block{file, fileSize, data, 0, file.ReadAt(0, reinterpret_cast<char*>(data), bufferSize)};
  bool readComplete = block.dataEnd == bufferSize;
  std::size_t scanFrom = 0;
  LineCounter lines;
  std::int64_t lastListedLine = 0;

  for (;;) {
    // Positions where the whole text still fits in the block.
    const std::size_t limit = block.dataEnd >= textLength ? block.dataEnd - textLength + 1 : 0;
    if (testMode) {
      if (scanFrom < limit && needle.Find(data, scanFrom, limit) != kNotFound) {
        return 1;
      }
    } else if (listMode) {
      std::size_t position = scanFrom;
      while (position < limit) {
        const std::size_t match = needle.Find(data, position, limit);
        if (match == kNotFound) {
          lines.CountAll(data, position, limit);
          break;
        }
        lines.CountAll(data, position, match + 1);
        if (lines.Line() != lastListedLine) {
          const LineBounds line = FindLineBounds(data, match, block.dataEnd);
          insertLine(FormatEntry(contentIndent, ".", lines.Line(), data + line.start,
                                 line.end - line.start));
          lastListedLine = lines.Line();
        }
        // Later matches before the next line end are on the same line.
        const std::size_t nextEnd = FindLineEnd(data, match + 1, limit);
        if (nextEnd > match + 1) {
          lines.PassPlainBytes();
        }
        position = nextEnd;
      }
    } else if (scanFrom < limit) {
      std::size_t found = kNotFound;
      if (contextLine == 1) {
        found = 0;  // the first line starts at the file's first byte
      } else {
        found = lines.CountUntil(data, scanFrom, limit, contextLine);
      }
      if (found != kNotFound) {
        std::int64_t start = 0;
        if (contextLine > 1) {
          // The line starts after the line end just counted, and after the
          // byte that belongs to it when that is a CR's partner.
          const std::int64_t endOffset = block.base + static_cast<std::int64_t>(found);
          start = endOffset + 1;
          unsigned char next = 0;
          if (data[found] == kCr && ByteAt(block, start, next) && IsEnd(next)) {
            ++start;
          }
        }
        const std::string text = LineTextFrom(block, start, capacity);
        insertLine(FormatEntry(contentIndent, marker, contextLine,
                               reinterpret_cast<const unsigned char*>(text.data()), text.size()));
        return 0;
      }
    }

    const std::int64_t readEnd = block.base + static_cast<std::int64_t>(block.dataEnd);
    if (!readComplete || readEnd >= fileSize) {
      break;
    }
    // Carry the block's last bytes to the front; the first of them was the
    // last position scanned, so scanning goes on right after it.
    std::memmove(data, data + block.dataEnd - textLength, textLength);
    block.base = readEnd - static_cast<std::int64_t>(textLength);
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::int64_t>(
        static_cast<std::int64_t>(capacity - textLength), fileSize - readEnd));
    const std::size_t got =
        file.ReadAt(readEnd, reinterpret_cast<char*>(data + textLength), wanted);
    block.dataEnd = textLength + got;
    readComplete = got == wanted;
    scanFrom = 1;
    if (got == 0) {
      break;
    }
  }
  return 0;
}

}  // namespace engine
