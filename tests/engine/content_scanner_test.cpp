#include "engine/content_scanner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBlock = 1'000'000;
constexpr const char* kIndent = "     ";

struct ScanOutcome {
  int result = 0;
  std::vector<std::string> entries;

  bool operator==(const ScanOutcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ScanOutcome& outcome) {
  out << "result " << outcome.result << ", " << outcome.entries.size() << " entries";
  for (std::size_t k = 0; k < outcome.entries.size() && k < 5; ++k) {
    out << "\n  [" << outcome.entries[k].substr(0, 60) << "]";
  }
  return out;
}

bool IsCrOrLf(unsigned char c) {
  return c == 13 || c == 10;
}

// The scanning rules written out plainly, byte by byte over blocks of the
// file's contents, to hold the fast scanner against.
ScanOutcome ReferenceScan(const std::string& file, const std::string& searchText, int mode,
                          bool ignoreCase, const std::string& marker) {
  ScanOutcome outcome;
  if ((mode == 0 || mode == 1) && searchText.empty()) {
    outcome.result = 1;
    return outcome;
  }
  if (mode > 1 || file.empty()) {
    return outcome;
  }
  const bool context = mode < 0;
  const std::int64_t wantedLine = -static_cast<std::int64_t>(mode);
  const std::string text = context ? std::string(" ") : searchText;
  const std::size_t length = text.size();
  const std::size_t capacity = std::max(kBlock, 2 * length);
  auto fold = [&](unsigned char b) {
    return ignoreCase && b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + 32) : b;
  };

  std::size_t dataEnd = std::min(capacity, file.size());
  std::vector<unsigned char> buffer(dataEnd);
  std::copy_n(file.begin(), dataEnd, buffer.begin());
  std::size_t base = 0;  // file offset of buffer[0]
  std::size_t consumed = dataEnd;
  std::size_t nextOffset = 0;  // first file offset not yet scanned
  std::int64_t line = 1;
  std::int64_t lastCountedEnd = -1;
  std::int64_t lastListed = 0;

  for (;;) {
    for (std::size_t p = nextOffset - base; p + length <= dataEnd; ++p) {
      const std::size_t offset = base + p;
      nextOffset = offset + 1;
      const unsigned char byte = buffer[p];
      if (IsCrOrLf(byte)) {
        const bool partOfPrevious =
            p > 0 && lastCountedEnd == static_cast<std::int64_t>(offset) - 1 && buffer[p - 1] == 13;
        if (!partOfPrevious) {
          ++line;
          lastCountedEnd = static_cast<std::int64_t>(offset);
        }
      }
      if (context) {
        if (line < wantedLine) {
          continue;
        }
        std::size_t start = 0;
        if (wantedLine > 1) {
          start = offset + 1;
          if (byte == 13 && start < file.size() && IsCrOrLf(file[start])) {
            ++start;
          }
        }
        std::string lineText;
        for (std::size_t q = start;
             q < file.size() && !IsCrOrLf(file[q]) && lineText.size() < capacity; ++q) {
          lineText += file[q];
        }
        outcome.entries.push_back(kIndent + marker + " " + std::to_string(wantedLine) + " " +
                                  lineText);
        return outcome;
      }
      bool matches = true;
      for (std::size_t k = 0; k < length && matches; ++k) {
        matches = fold(buffer[p + k]) == fold(static_cast<unsigned char>(text[k]));
      }
      if (!matches) {
        continue;
      }
      if (mode == 0) {
        outcome.result = 1;
        return outcome;
      }
      if (line == lastListed) {
        continue;
      }
      std::size_t start = p;
      while (!IsCrOrLf(buffer[start]) && start > 0) {
        --start;
      }
      if (IsCrOrLf(buffer[start])) {
        ++start;
      }
      std::string lineText;
      for (std::size_t q = start; q < dataEnd && !IsCrOrLf(buffer[q]); ++q) {
        lineText += static_cast<char>(buffer[q]);
      }
      outcome.entries.push_back(std::string(kIndent) + ". " + std::to_string(line) + " " +
                                lineText);
      lastListed = line;
    }
    if (consumed >= file.size()) {
      return outcome;
    }
    std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(dataEnd - length),
              buffer.begin() + static_cast<std::ptrdiff_t>(dataEnd), buffer.begin());
    base += dataEnd - length;
    const std::size_t fresh = std::min(capacity - length, file.size() - consumed);
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(consumed), fresh,
                buffer.begin() + static_cast<std::ptrdiff_t>(length));
    consumed += fresh;
    dataEnd = length + fresh;
  }
}

class ContentScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "scanner-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  std::string Write(const std::string& name, const std::string& contents) {
    const std::string path = directory_ + "/" + name;
    std::ofstream(path, std::ios::binary) << contents;
    return path;
  }

  static ScanOutcome Scan(const std::string& text, const std::string& path, int mode,
                          bool ignoreCase = false, const std::string& marker = ";") {
    ScanOutcome outcome;
    outcome.result =
        engine::ScanFile(text, path, mode, ignoreCase, kIndent, marker,
                         [&](std::string&& entry) { outcome.entries.push_back(std::move(entry)); });
    return outcome;
  }

  std::string directory_;
};

std::string Entry(char marker, int line, const std::string& text) {
  return std::string(kIndent) + marker + " " + std::to_string(line) + " " + text;
}

TEST_F(ContentScannerTest, EmptySearchTextMatchesWithoutOpeningTheFile) {
  const std::string missing = directory_ + "/no such file";
  EXPECT_EQ(Scan("", missing, 0), (ScanOutcome{1, {}}));
  EXPECT_EQ(Scan("", missing, 1), (ScanOutcome{1, {}}));
}

TEST_F(ContentScannerTest, UnopenableOrEmptyOrShortFilesYieldNothing) {
  const std::string empty = Write("empty", "");
  const std::string shorter = Write("short", "abc");
  const struct {
    std::string path;
    std::string text;
  } cases[] = {{directory_ + "/missing", "a"}, {directory_, "a"}, {empty, "a"}, {shorter, "abcd"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(Scan(c.text, c.path, 0), ScanOutcome{});
    EXPECT_EQ(Scan(c.text, c.path, 1), ScanOutcome{});
  }
  EXPECT_EQ(Scan(" ", empty, -1), ScanOutcome{});
  EXPECT_EQ(Scan(" ", directory_ + "/missing", -1), ScanOutcome{});
}

TEST_F(ContentScannerTest, UnreadableFileYieldsNothing) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "permissions do not stop the superuser from reading";
  }
  const std::string path = Write("locked", "needle\n");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  EXPECT_EQ(Scan("needle", path, 0), ScanOutcome{});
  EXPECT_EQ(Scan("needle", path, 1), ScanOutcome{});
}

TEST_F(ContentScannerTest, FifoNeitherBlocksNorMatches) {
  const std::string path = directory_ + "/pipe";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  // Opening a FIFO for reading would wait for a writer forever.
  EXPECT_EQ(Scan("a", path, 0), ScanOutcome{});
  EXPECT_EQ(Scan("a", path, 1), ScanOutcome{});
  EXPECT_EQ(Scan(" ", path, -1), ScanOutcome{});
}

TEST_F(ContentScannerTest, FileHeldOpenAndLockedElsewhereIsStillRead) {
  const std::string path = Write("busy", "first\nthe needle\n");
  const int holder = open(path.c_str(), O_RDWR);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  EXPECT_EQ(Scan("needle", path, 0).result, 1);
  EXPECT_EQ(Scan("needle", path, 1).entries, std::vector{Entry('.', 2, "the needle")});
  close(holder);
}

TEST_F(ContentScannerTest, SymbolicLinkToAFileIsRead) {
  const std::string target = Write("target", "needle");
  const std::string link = directory_ + "/link";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  EXPECT_EQ(Scan("needle", link, 0).result, 1);
}

TEST_F(ContentScannerTest, CaseFoldingCoversAsciiLettersOnly) {
  const struct {
    std::string contents;
    std::string text;
    bool ignoreCase;
    int expected;
  } cases[] = {
      {"a NEEDLE here", "needle", true, 1},
      {"a NEEDLE here", "needle", false, 0},
      {"a needle here", "NeEdLe", true, 1},
      {"\xC0\xC9", "\xE0\xE9", true, 0},  // Latin-1 capitals stay as they are
      {"\xE0\xE9", "\xE0\xE9", true, 1},
      {"@[\\]^", "`{|}~", true, 0},  // punctuation 32 apart is not a letter pair
      {"`{|}~", "@[\\]^", true, 0},
      {"x\ry", "X\nY", true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.contents + " / " + c.text);
    const std::string path = Write("case", c.contents);
    EXPECT_EQ(Scan(c.text, path, 0, c.ignoreCase).result, c.expected);
    EXPECT_EQ(Scan(c.text, path, 1, c.ignoreCase).entries.size(),
              static_cast<std::size_t>(c.expected));
  }
}

TEST_F(ContentScannerTest, MatchLinesNumberEachLineOnce) {
  const struct {
    std::string contents;
    std::string text;
    std::vector<std::string> expected;
  } cases[] = {
      {"abc def\nxyz", "def", {Entry('.', 1, "abc def")}},
      {"x\nab ab ab\nz ab", "ab", {Entry('.', 2, "ab ab ab"), Entry('.', 3, "z ab")}},
      {"one\ntwo", "two", {Entry('.', 2, "two")}},
      {"one\r\ntwo\r\nthree", "three", {Entry('.', 3, "three")}},
      {"one\r\rtwo", "two", {Entry('.', 2, "two")}},
      {"one\n\rtwo", "two", {Entry('.', 3, "two")}},
      {"one\n\ntwo", "two", {Entry('.', 3, "two")}},
      {"a\r\r\rb", "b", {Entry('.', 3, "b")}},
      {"a\r\n\r\nb", "b", {Entry('.', 3, "b")}},
      {"\n\tt\x01\xFFn\n", "n", {Entry('.', 2, "\tt\x01\xFFn")}},
      {"line\nend\n", "end\n", {Entry('.', 2, "end")}},
      {"ab\ncd", "b\nc", {Entry('.', 1, "ab")}},
      {"ab\ncd", "\nc", {Entry('.', 2, "cd")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.contents);
    const std::string path = Write("lines", c.contents);
    EXPECT_EQ(Scan(c.text, path, 1), (ScanOutcome{0, c.expected}));
  }
}

TEST_F(ContentScannerTest, ContextLinesShowTheTextOfTheirLine) {
  const struct {
    std::string contents;
    int line;
    std::vector<std::string> expected;
  } cases[] = {
      {"abc\ndef", 1, {Entry(';', 1, "abc")}},
      {"\nabc", 1, {Entry(';', 1, "")}},
      {"\nabc", 2, {Entry(';', 2, "abc")}},
      {"a\nb\n", 3, {Entry(';', 3, "")}},
      {"a\nb\n", 4, {}},
      {"a\nb", 3, {}},
      {"one\r\ntwo", 2, {Entry(';', 2, "two")}},
      {"one\r\rtwo", 2, {Entry(';', 2, "two")}},
      {"one\n\rtwo", 2, {Entry(';', 2, "")}},
      {"one\n\rtwo", 3, {Entry(';', 3, "two")}},
      {"one\n\ntwo", 2, {Entry(';', 2, "")}},
      {"a\r\r\rb", 2, {Entry(';', 2, "")}},
      {"a\r\r\rb", 3, {Entry(';', 3, "b")}},
      {"x\ny\r", 2, {Entry(';', 2, "y")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.contents + " line " + std::to_string(c.line));
    const std::string path = Write("context", c.contents);
    EXPECT_EQ(Scan(" ", path, -c.line), (ScanOutcome{0, c.expected}));
  }
  const std::string path = Write("marker", "a\nb");
  EXPECT_EQ(Scan(" ", path, -2, false, ":").entries, std::vector{Entry(':', 2, "b")});
}

TEST_F(ContentScannerTest, MatchAcrossTheBlockEdgeIsFoundWithItsLineNumber) {
  std::string contents(kBlock + 500, 'x');
  for (std::size_t at = 100; at < kBlock - 100; at += 1000) {
    contents[at] = at % 3000 == 100 ? '\r' : '\n';
  }
  contents[kBlock - 50] = '\r';
  contents[kBlock - 49] = '\n';  // one line end of two bytes
  contents.replace(kBlock - 3, 6, "needle");
  const std::string path = Write("edge", contents);
  EXPECT_EQ(Scan("needle", path, 0).result, 1);
  // 1000 single line ends and the CR LF come before the match. Its line began
  // before the second block, which starts six bytes (the text) before the edge.
  EXPECT_EQ(Scan("needle", path, 1).entries,
            std::vector{Entry('.', 1002, contents.substr(kBlock - 6))});
}

TEST_F(ContentScannerTest, LineBeganBeforeTheBlockIsShownFromTheBlockStart) {
  std::string contents = "head\n" + std::string(1'500'000, 'y') + "\ntail";
  contents.replace(1'200'000, 3, "pin");
  const std::string path = Write("long line", contents);
  const std::string text = "pin";
  // The second block starts where the first block's last three bytes began.
  const std::size_t secondBlock = kBlock - text.size();
  const std::size_t lineEnd = contents.find('\n', secondBlock);
  EXPECT_EQ(Scan(text, path, 1).entries,
            std::vector{Entry('.', 2, contents.substr(secondBlock, lineEnd - secondBlock))});
}

TEST_F(ContentScannerTest, ContextLineAtTheBlockEdgeReadsOnInTheFile) {
  const struct {
    std::size_t lineEndAt;
    std::string lineEnd;
  } cases[] = {
      {kBlock - 1, "\r\n"}, {kBlock - 1, "\r\r"}, {kBlock - 1, "\n"},
      {kBlock - 2, "\r\n"}, {kBlock, "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lineEndAt);
    std::string contents(c.lineEndAt, 'a');
    contents += c.lineEnd + "second line of text";
    const std::string path = Write("context edge", contents);
    EXPECT_EQ(Scan(" ", path, -2).entries, std::vector{Entry(';', 2, "second line of text")});
  }
}

TEST_F(ContentScannerTest, SearchTextLongerThanHalfABlockIsFound) {
  std::mt19937 random(7);
  std::string text(700'000, 'q');
  for (char& c : text) {
    c = static_cast<char>('a' + random() % 26);
  }
  std::string contents(2'600'000, '.');
  contents.replace(1'300'000, text.size(), text);
  contents[10] = '\n';
  const std::string path = Write("long text", contents);
  EXPECT_EQ(Scan(text, path, 0).result, 1);
  const ScanOutcome listed = Scan(text, path, 1);
  EXPECT_EQ(listed.entries.size(), 1u);
  EXPECT_EQ(listed, ReferenceScan(contents, text, 1, false, ";"));
}

TEST_F(ContentScannerTest, FilesOfMoreThanTwoGigabytesAreReadWhole) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "reading 2 GB takes about a minute under the sanitizers; the plain build runs it";
#endif
  // A sparse file: the bytes before the last ones are zeros and take no space.
  const std::string path = directory_ + "/large";
  const std::int64_t lineEnd = (std::int64_t{1} << 31) + 50;
  {
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(pwrite(descriptor, "\nthe needle", 11, lineEnd), 11);
    close(descriptor);
  }
  EXPECT_EQ(Scan("needle", path, 1).entries, std::vector{Entry('.', 2, "the needle")});
  EXPECT_EQ(Scan(" ", path, -2).entries, std::vector{Entry(';', 2, "the needle")});
}

TEST(ContentScannerLineText, ReturnsTheLineHoldingThePosition) {
  const std::string buffer = "ab\ncd\r\n\nef";
  const struct {
    std::size_t position;
    std::size_t dataEnd;
    std::string expected;
  } cases[] = {
      {0, 10, "ab"}, {1, 10, "ab"}, {2, 10, "cd"}, {4, 10, "cd"}, {5, 10, ""},
      {6, 10, ""},   {8, 10, "ef"}, {9, 10, "ef"}, {8, 9, "e"},   {10, 10, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    EXPECT_EQ(engine::GetLineText(buffer.data(), c.position, c.dataEnd), c.expected);
  }
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(engine::IsLineEnd(static_cast<char>(c)), c == 10 || c == 13) << c;
  }
}

// Generated files, held against the plain reference scan.
class ContentScannerDifferential : public ContentScannerTest {
 protected:
  std::mt19937_64 random_{20240611};

  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(random_() % n); }

  // Bytes that exercise the line and case rules: line ends in runs, letters
  // of both cases, bytes 32 apart that are not letters, and high bytes.
  char RandomByte(std::size_t lineEndsPerHundred) {
    static const std::string kPlain = "aAbBnN eE@`[{\xC0\xE0\x01\t";
    if (Below(100) < lineEndsPerHundred) {
      return Below(2) == 0 ? '\r' : '\n';
    }
    return kPlain[Below(kPlain.size())];
  }

  std::string RandomText(std::size_t length) {
    std::string text;
    for (std::size_t k = 0; k < length; ++k) {
      text += RandomByte(Below(4) == 0 ? 30 : 0);
    }
    return text;
  }

  // A copy of text with letters flipped in case at random.
  std::string Varied(const std::string& text) {
    std::string copy = text;
    for (char& c : copy) {
      if (std::isalpha(static_cast<unsigned char>(c)) && Below(2) == 0) {
        c = static_cast<char>(c ^ 0x20);
      }
    }
    return copy;
  }

  std::string RandomFile(std::size_t size, const std::string& text,
                         const std::vector<std::size_t>& edges) {
    const std::size_t lineEndsPerHundred = Below(3) == 0 ? 40 : 1 + Below(8);
    std::string contents(size, 'a');
    for (char& c : contents) {
      c = RandomByte(lineEndsPerHundred);
    }
    const std::size_t planted = 1 + Below(20);
    for (std::size_t k = 0; k < planted && size > text.size(); ++k) {
      contents.replace(Below(size - text.size() + 1), text.size(), Varied(text));
    }
    // Matches and line ends straddling each block edge.
    for (const std::size_t edge : edges) {
      if (edge + 8 >= size || edge < 16) {
        continue;
      }
      const std::size_t from = edge - Below(text.size() + 2);
      contents.replace(from, text.size(), Varied(text));
      contents[edge - 1 - Below(3)] = Below(2) == 0 ? '\r' : '\n';
      contents[edge + Below(2)] = Below(2) == 0 ? '\r' : '\n';
    }
    return contents;
  }

  // File offsets where a block ends, for a text of the given length.
  static std::vector<std::size_t> BlockEdges(std::size_t size, std::size_t textLength) {
    std::vector<std::size_t> edges;
    for (std::size_t edge = kBlock; edge < size; edge += kBlock - textLength) {
      edges.push_back(edge);
    }
    return edges;
  }

  // Line numbers worth asking for as context: all of a small file, and for a
  // large one the first and last and those ending near the block edges.
  std::vector<int> ContextLines(const std::string& contents) {
    std::vector<std::size_t> counted;  // offsets of counted line ends
    for (std::size_t at = 0; at < contents.size(); ++at) {
      if (IsCrOrLf(contents[at]) &&
          !(at > 0 && contents[at - 1] == '\r' && !counted.empty() && counted.back() == at - 1)) {
        counted.push_back(at);
      }
    }
    const int lines = static_cast<int>(counted.size()) + 1;
    std::vector<int> wanted;
    if (lines <= 400) {
      for (int line = 1; line <= lines + 2; ++line) {
        wanted.push_back(line);
      }
      return wanted;
    }
    wanted = {1, 2, 3, lines - 1, lines, lines + 1, lines + 2};
    for (const std::size_t edge : BlockEdges(contents.size(), 1)) {
      const auto near = std::lower_bound(counted.begin(), counted.end(), edge - 3);
      for (auto it = near; it != counted.end() && *it <= edge + 3; ++it) {
        wanted.push_back(static_cast<int>(it - counted.begin()) + 2);
      }
    }
    wanted.push_back(1 + static_cast<int>(Below(static_cast<std::size_t>(lines))));
    return wanted;
  }

  void Compare(const std::string& contents, const std::string& text) {
    const std::string path = Write("generated", contents);
    for (const bool ignoreCase : {false, true}) {
      for (const int mode : {0, 1}) {
        SCOPED_TRACE(::testing::Message() << "mode " << mode << " ignoreCase " << ignoreCase);
        ASSERT_EQ(Scan(text, path, mode, ignoreCase),
                  ReferenceScan(contents, text, mode, ignoreCase, ";"));
      }
    }
  }

  void CompareContext(const std::string& contents) {
    const std::string path = Write("generated", contents);
    for (const int line : ContextLines(contents)) {
      SCOPED_TRACE(::testing::Message() << "context line " << line);
      ASSERT_EQ(Scan(" ", path, -line, false, ":"),
                ReferenceScan(contents, " ", -line, false, ":"));
    }
  }
};

TEST_F(ContentScannerDifferential, SmallFilesAgreeWithTheReference) {
  for (int round = 0; round < 300; ++round) {
    const std::string text = RandomText(1 + Below(8));
    const std::string contents = RandomFile(Below(300), text, {});
    SCOPED_TRACE(::testing::Message() << "round " << round << " size " << contents.size());
    Compare(contents, text);
    CompareContext(contents);
    if (HasFatalFailure()) {
      return;
    }
  }
}

TEST_F(ContentScannerDifferential, FilesAcrossBlockEdgesAgreeWithTheReference) {
  const std::size_t sizes[] = {kBlock - 1,      kBlock,         kBlock + 1, kBlock + 7,
                               2 * kBlock - 9,  2 * kBlock - 1, 2 * kBlock, 2 * kBlock + 3,
                               2 * kBlock + 40, 1'500'000 + 17, 1'999'997,  2'000'005};
  for (const std::size_t size : sizes) {
    const std::string text = RandomText(1 + Below(8));
    std::vector<std::size_t> edges = BlockEdges(size, text.size());
    for (const std::size_t edge : BlockEdges(size, 1)) {
      edges.push_back(edge);
    }
    const std::string contents = RandomFile(size, text, edges);
    SCOPED_TRACE(::testing::Message() << "size " << size << " text length " << text.size());
    Compare(contents, text);
    CompareContext(contents);
    if (HasFatalFailure()) {
      return;
    }
  }
}

}  // namespace
