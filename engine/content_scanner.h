#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace engine {

// Receives each entry the scanner inserts into the results list, in file
// order, already formatted as a content line.
using LineSink = std::function<void(std::string&& entry)>;

// Files are read in blocks of this many bytes; the last bytes of a block are
// carried to the front of the next so that a match spanning two blocks is
// found. A search text longer than half a block gets blocks of twice its
// length, so every block reads new bytes and the reading always ends.
inline constexpr std::size_t kScanBlockBytes = 1'000'000;

// Looks into the file at path, one of three jobs chosen by mode:
//   0   test: 1 when the file contains searchText, else 0; stops at the first
//       match. An empty searchText gives 1 without opening the file.
//   1   list matches: inserts one match line (contentIndent + "." + " " +
//       line number + " " + text) per line holding searchText, in file order;
//       returns 0 (1 without opening the file when searchText is empty).
//   -T  context line: inserts line T of the file as contentIndent + marker +
//       " " + T + " " + text, nothing when the file has fewer lines; returns
//       0. searchText plays no part.
// Any other mode does nothing and returns 0. ignoreCase folds the ASCII
// letters only. Files that are missing, unreadable or not regular files
// (pipes, devices) give 0 and nothing is inserted.
//
// Lines end at CR or LF; CR LF and CR CR each end one line, LF LF and LF CR
// two. A match line shows the bytes of its line that are in the current
// block: in files over one block, a line that began before the block is shown
// from the block's first byte and one running past it up to the block's end.
int ScanFile(std::string_view searchText, const std::string& path, int mode, bool ignoreCase,
             std::string_view contentIndent, std::string_view marker, const LineSink& insertLine);

// The text of the line of buffer[0, dataEnd) that holds position, without its
// line end; the line starts at the buffer's first byte when no line end
// precedes it there. A position that holds a line end belongs to the line
// after it. Positions at or past dataEnd give an empty text.
std::string GetLineText(const char* buffer, std::size_t position, std::size_t dataEnd);

// True for CR (13) and LF (10).
bool IsLineEnd(char c);

}  // namespace engine
