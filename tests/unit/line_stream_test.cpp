// Text-mode reading and writing of the start-up files.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "startup_file_doubles.h"
#include "startup_files/text_stream.h"

namespace {

using vxtest::FileOp;
using vxtest::MemoryFiles;

struct Piece {
  std::string text;
  bool endsLine;
  bool operator==(const Piece& other) const { return text == other.text && endsLine == other.endsLine; }
};

std::ostream& operator<<(std::ostream& out, const Piece& piece) {
  out << "{";
  for (unsigned char c : piece.text) {
    if (c >= 32 && c < 127) {
      out << c;
    } else {
      out << "\\x" << std::hex << static_cast<int>(c) << std::dec;
    }
  }
  return out << (piece.endsLine ? "|end}" : "|more}");
}

std::vector<Piece> ReadPieces(const std::string& raw, size_t readChunk, bool* failed = nullptr) {
  MemoryFiles files;
  files.contents["f"] = raw;
  files.readChunk = readChunk;
  const vx::FileHandle file = files.OpenForRead("f");
  vx::TextReader reader(files, file);
  std::vector<Piece> pieces;
  char buffer[vx::kLinePieceCapacity];
  for (;;) {
    const vx::LinePiece piece = reader.ReadPiece(buffer);
    EXPECT_EQ(buffer[piece.length], '\0');
    if (piece.length == 0) {
      EXPECT_TRUE(piece.endsLine);
      break;
    }
    pieces.push_back({std::string(buffer, piece.length), piece.endsLine});
  }
  if (failed != nullptr) *failed = reader.Failed();
  return pieces;
}

// What a text-mode stream delivers of `raw`, as one string.
std::string TextModeOf(const std::string& raw) {
  std::string text;
  for (size_t i = 0; i < raw.size() && raw[i] != vx::kCtrlZ; ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    text += raw[i];
  }
  return text;
}

constexpr size_t kReadChunks[] = {1, 2, 3, 7, 4096, MemoryFiles::kNever};

TEST(TextReader, DeliversLinesAsATextModeReadInto255Bytes) {
  const std::string x254(254, 'x');
  const std::string y600(600, 'y');
  struct Case {
    const char* name;
    std::string raw;
    std::vector<Piece> pieces;
    // clang-format off
  } cases[] = {
      {"CR LF arrives as LF", "a\r\nbc\r\n", {{"a\n", true}, {"bc\n", true}}},
      {"LF alone", "a\nb\n", {{"a\n", true}, {"b\n", true}}},
      {"last line without line end", "a\nb", {{"a\n", true}, {"b", true}}},
      {"a lone CR stays inside its line", "a\rb\r\n", {{"a\rb\n", true}}},
      {"a CR at the very end stays", "a\r", {{"a\r", true}}},
      {"CR CR LF keeps the first CR", "a\r\r\nb", {{"a\r\n", true}, {"b", true}}},
      {"LF CR: the CR begins the next line", "a\n\rb", {{"a\n", true}, {"\rb", true}}},
      {"Ctrl-Z ends the text", std::string("ab\x1a") + "cd\r\n", {{"ab", true}}},
      {"Ctrl-Z after a line end", std::string("ab\r\n\x1a\r\nmore"), {{"ab\n", true}}},
      {"a CR before Ctrl-Z stays", std::string("a\r\x1a\n"), {{"a\r", true}}},
      {"Ctrl-Z first", std::string("\x1a" "abc"), {}},
      {"empty file", "", {}},
      {"empty lines", "\r\n\n\r\n", {{"\n", true}, {"\n", true}, {"\n", true}}},
      {"254 characters and LF: the LF is a read of its own", x254 + "\r\n", {{x254, false}, {"\n", true}}},
      {"254 characters at the end of the file", x254, {{x254, true}}},
      {"254 characters before Ctrl-Z", x254 + "\x1a\n", {{x254, true}}},
      {"255 characters", x254 + "z\r\n", {{x254, false}, {"z\n", true}}},
      {"600 characters", y600 + "\n", {{y600.substr(0, 254), false}, {y600.substr(254, 254), false},
                                       {y600.substr(508) + "\n", true}}},
      {"a lone CR right after a full piece", x254 + "\rz", {{x254, false}, {"\rz", true}}},
      {"bytes above 127 and NUL pass unchanged", std::string("\xe9\xff\x00\x80z\r\n", 7),
       {{std::string("\xe9\xff\x00\x80z\n", 6), true}}},
  };
  // clang-format on
  for (const Case& c : cases) {
    for (size_t chunk : kReadChunks) {
      SCOPED_TRACE(std::string(c.name) + ", reads of " + std::to_string(chunk));
      EXPECT_EQ(ReadPieces(c.raw, chunk), c.pieces);
    }
  }
}

// Random text over the bytes that matter, across block borders and with short
// reads: the pieces join to the text-mode text, and each is cut where a
// text-mode read into 255 bytes cuts.
TEST(TextReader, PiecesJoinToTheTextModeTextOfAnyInput) {
  const char alphabet[] = {'a', 'b', '\r', '\n', '\r', '\n', '\x1a', '\xff', '\0', ' '};
  // A fixed seed: the same inputs in every run, so a failure can be repeated.
  std::mt19937 random(20240607);  // NOLINT(cert-msc32-c,cert-msc51-cpp)
  for (int round = 0; round < 60; ++round) {
    const size_t length = round < 40 ? random() % 600 : vx::kFileBlockSize * 2 + random() % 2000;
    const bool allowCtrlZ = round % 3 == 0;
    std::string raw;
    for (size_t i = 0; i < length; ++i) {
      char c = alphabet[random() % sizeof alphabet];
      if (c == '\x1a' && !allowCtrlZ) c = 'c';
      raw += c;
    }
    const size_t chunk = kReadChunks[round % (sizeof kReadChunks / sizeof kReadChunks[0])];
    SCOPED_TRACE("round " + std::to_string(round));
    const std::vector<Piece> pieces = ReadPieces(raw, chunk);
    std::string joined;
    for (size_t i = 0; i < pieces.size(); ++i) {
      const Piece& p = pieces[i];
      joined += p.text;
      ASSERT_LE(p.text.size(), vx::kLinePieceLength);
      const bool hasLineEnd = p.text.back() == '\n';
      ASSERT_EQ(p.text.find('\n'), hasLineEnd ? p.text.size() - 1 : std::string::npos);
      const bool last = i + 1 == pieces.size();
      if (!hasLineEnd && !last) {
        ASSERT_EQ(p.text.size(), vx::kLinePieceLength);
      }
      ASSERT_EQ(p.endsLine, hasLineEnd || last);
    }
    EXPECT_EQ(joined, TextModeOf(raw));
  }
}

TEST(TextReader, CrLfSplitByTheBlockBorderIsOneLineEnd) {
  for (size_t before : {vx::kFileBlockSize - 1, vx::kFileBlockSize, vx::kFileBlockSize - 2}) {
    SCOPED_TRACE(before);
    std::string raw;
    for (size_t i = 0; i < before; ++i) raw += i % 100 == 99 ? '\n' : 'q';
    raw += "\r\nend\r";
    std::string joined;
    for (const Piece& p : ReadPieces(raw, MemoryFiles::kNever)) joined += p.text;
    EXPECT_EQ(joined, TextModeOf(raw));
  }
}

TEST(TextReader, AReadErrorEndsTheTextAndIsReported) {
  MemoryFiles files;
  files.contents["f"] = std::string(vx::kFileBlockSize * 3, 'a');
  const vx::FileHandle file = files.OpenForRead("f");
  files.failAt = files.log.size() + 1;  // the second read
  vx::TextReader reader(files, file);
  char buffer[vx::kLinePieceCapacity];
  size_t total = 0;
  for (vx::LinePiece piece = reader.ReadPiece(buffer); piece.length != 0; piece = reader.ReadPiece(buffer)) {
    total += piece.length;
  }
  EXPECT_TRUE(reader.Failed());
  EXPECT_EQ(total, vx::kFileBlockSize);
}

// Rewind gives the same pieces again: from the block when they are still in
// it, by a seek when the block has moved on.
TEST(TextReader, RewindReadsTheSamePiecesAgain) {
  std::string raw;
  for (int i = 0; raw.size() < vx::kFileBlockSize * 3; ++i) {
    raw += std::string(300 + i % 50, static_cast<char>('a' + i % 26)) + "\r\n";
  }
  struct Case {
    const char* name;
    size_t piecesBefore;
    size_t piecesAhead;
    bool seeks;
  } cases[] = {
      {"within the block", 3, 4, false},
      {"after the block moved on", 3, 200, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFiles files;
    files.contents["f"] = raw;
    const vx::FileHandle file = files.OpenForRead("f");
    vx::TextReader reader(files, file);
    char buffer[vx::kLinePieceCapacity];
    for (size_t i = 0; i < c.piecesBefore; ++i) reader.ReadPiece(buffer);
    const uint64_t mark = reader.Position();
    std::vector<std::string> first;
    for (size_t i = 0; i < c.piecesAhead; ++i) {
      const vx::LinePiece piece = reader.ReadPiece(buffer);
      first.emplace_back(buffer, piece.length);
    }
    const size_t seeksBefore = std::count(files.log.begin(), files.log.end(), FileOp::kSeek);
    ASSERT_TRUE(reader.Rewind(mark));
    std::vector<std::string> again;
    for (size_t i = 0; i < c.piecesAhead; ++i) {
      const vx::LinePiece piece = reader.ReadPiece(buffer);
      again.emplace_back(buffer, piece.length);
    }
    EXPECT_EQ(again, first);
    EXPECT_EQ(std::count(files.log.begin(), files.log.end(), FileOp::kSeek) - seeksBefore, c.seeks ? 1 : 0);
  }
}

TEST(TextReader, RewindAfterTheEndOfTextReadsToItAgain) {
  const std::string raw = std::string(300, 'k') +
                          "\x1a"
                          "tail";
  MemoryFiles files;
  files.contents["f"] = raw;
  vx::TextReader reader(files, files.OpenForRead("f"));
  char buffer[vx::kLinePieceCapacity];
  reader.ReadPiece(buffer);
  const uint64_t mark = reader.Position();
  EXPECT_EQ(reader.ReadPiece(buffer).length, 46u);
  EXPECT_EQ(reader.ReadPiece(buffer).length, 0u);
  ASSERT_TRUE(reader.Rewind(mark));
  const vx::LinePiece piece = reader.ReadPiece(buffer);
  EXPECT_EQ(piece.length, 46u);
  EXPECT_TRUE(piece.endsLine);
}

std::string WriteThrough(const std::vector<std::string>& parts) {
  MemoryFiles files;
  const vx::FileHandle file = files.OpenForWrite("out");
  vx::TextWriter writer(files, file);
  for (const std::string& part : parts) writer.Write(part.data(), part.size());
  EXPECT_TRUE(writer.Finish());
  files.Close(file);
  return files.contents["out"];
}

TEST(TextWriter, WritesEveryLfAsCrLfAndNothingElse) {
  struct Case {
    const char* name;
    std::vector<std::string> parts;
    std::string written;
  } cases[] = {
      {"lines", {"a\n", "bc\n"}, "a\r\nbc\r\n"},
      {"last line without line end", {"a\n", "b"}, "a\r\nb"},
      {"a lone CR stays alone", {"a\rb\n"}, "a\rb\r\n"},
      {"a CR the reader kept before an LF", {"a\r\n"}, "a\r\r\n"},
      {"empty", {}, ""},
      {"bytes above 127 and NUL", {std::string("\xe9\0\n", 3)}, std::string("\xe9\0\r\n", 4)},
      {"prefix and line", {"rem ", "MOUSE\n"}, "rem MOUSE\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WriteThrough(c.parts), c.written);
  }
}

TEST(TextWriter, LongOutputCrossesItsBlocksIntact) {
  std::string line = "0123456789abcdef\n";
  std::vector<std::string> parts(5000, line);
  std::string expected;
  for (int i = 0; i < 5000; ++i) expected += "0123456789abcdef\r\n";
  EXPECT_EQ(WriteThrough(parts), expected);
}

TEST(TextWriter, AFailedWriteIsReportedAndStopsWriting) {
  MemoryFiles files;
  const vx::FileHandle file = files.OpenForWrite("out");
  files.failAt = files.log.size();  // the first write
  vx::TextWriter writer(files, file);
  const std::string block(vx::kFileBlockSize, 'w');
  writer.Write(block.data(), block.size());
  writer.Write(block.data(), block.size());
  EXPECT_TRUE(writer.Failed());
  EXPECT_FALSE(writer.Finish());
  EXPECT_EQ(std::count(files.log.begin(), files.log.end(), FileOp::kWrite), 1);
}

}  // namespace
