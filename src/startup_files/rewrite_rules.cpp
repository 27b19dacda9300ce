#include "startup_files/rewrite_rules.h"

namespace vx {
namespace {

constexpr const char kSectionStart[] = "[";
constexpr const char kWindowsSection[] = "[windows]";
constexpr const char kIniComment[] = ";";
constexpr const char kSetPath[] = "set path";
constexpr const char kRemWord[] = "rem";
constexpr size_t kRemWordLength = sizeof(kRemWord) - 1;
constexpr const char kRemPrefix[] = "rem ";
constexpr char kWordSeparator = ' ';

constexpr size_t PatternLength(const char* pattern) {
  size_t length = 0;
  while (pattern[length] != '\0') ++length;
  return length;
}

template <size_t N>
constexpr bool AllFit(const NameEntry (&table)[N]) {
  for (size_t i = 0; i < N; ++i) {
    if (PatternLength(table[i].name) == 0 || PatternLength(table[i].name) > kLongestPattern) return false;
  }
  return true;
}

static_assert(AllFit(MouseProgramNames), "a program name is empty or longer than kLongestPattern");
static_assert(AllFit(DosMouseDriverNames), "a driver name is empty or longer than kLongestPattern");
static_assert(PatternLength(kWindowsSection) <= kLongestPattern && PatternLength(kSetPath) <= kLongestPattern,
              "a rule pattern is longer than kLongestPattern");

template <size_t N>
uint32_t AddAll(PatternFinder& finder, const NameEntry (&table)[N]) {
  uint32_t bits = 0;
  for (size_t i = 0; i < N; ++i) bits |= finder.Add(table[i].name);
  return bits;
}

}  // namespace

uint32_t PatternFinder::Add(const char* pattern) {
  const size_t length = PatternLength(pattern);
  if (count_ == kMaxPatterns || length == 0 || length > kLongestPattern) return 0;
  const uint32_t bit = uint32_t{1} << count_;
  patterns_[count_] = pattern;
  lengths_[count_] = length;
  ++count_;
  startingWith_[static_cast<unsigned char>(pattern[0])] |= bit;
  return bit;
}

void PatternFinder::StartLine() {
  found_ = 0;
  carryLength_ = 0;
}

void PatternFinder::Scan(const char* text, size_t length) {
  // The carry from the last piece goes in front, so that a pattern straddling
  // the two is seen whole; the window is searched chunk by chunk.
  char window[kCarry + kChunk];
  while (length != 0) {
    const size_t take = length < kChunk ? length : kChunk;
    for (size_t i = 0; i < carryLength_; ++i) window[i] = carry_[i];
    for (size_t i = 0; i < take; ++i) window[carryLength_ + i] = text[i];
    const size_t windowLength = carryLength_ + take;
    ScanWindow(window, windowLength);
    carryLength_ = windowLength < kCarry ? windowLength : kCarry;
    for (size_t i = 0; i < carryLength_; ++i) carry_[i] = window[windowLength - carryLength_ + i];
    text += take;
    length -= take;
  }
}

void PatternFinder::ScanWindow(const char* window, size_t length) {
  for (size_t at = 0; at < length; ++at) {
    const uint32_t candidates = startingWith_[static_cast<unsigned char>(window[at])] & ~found_;
    if (candidates == 0) continue;
    for (size_t p = 0; p < count_; ++p) {
      const uint32_t bit = uint32_t{1} << p;
      if ((candidates & bit) == 0 || at + lengths_[p] > length) continue;
      size_t i = 1;
      // Every byte below `length` was written by Scan; the analyzer loses count of
      // the two copying loops there (valgrind finds no read of an unset byte).
      // NOLINTNEXTLINE(clang-analyzer-core.UndefinedBinaryOperatorResult)
      while (i < lengths_[p] && window[at + i] == patterns_[p][i]) ++i;
      if (i == lengths_[p]) found_ |= bit;
    }
  }
}

WinIniRule::WinIniRule() : bracket_(finder_.Add(kSectionStart)), sectionHeader_(finder_.Add(kWindowsSection)) {
  programs_ = AddAll(finder_, MouseProgramNames);
}

void WinIniRule::StartLine() { finder_.StartLine(); }

void WinIniRule::Scan(const char* testCopy, size_t length) { finder_.Scan(testCopy, length); }

const char* WinIniRule::EndLine() {
  const uint32_t found = finder_.Found();
  if (inWindowsSection_ && (found & bracket_) != 0) inWindowsSection_ = false;
  if ((found & sectionHeader_) != 0) inWindowsSection_ = true;
  return inWindowsSection_ && (found & programs_) != 0 ? kIniComment : nullptr;
}

AutoexecRule::AutoexecRule() {
  drivers_ = AddAll(finder_, DosMouseDriverNames);
  setPath_ = finder_.Add(kSetPath);
}

void AutoexecRule::StartLine() {
  finder_.StartLine();
  inLeadingSpaces_ = true;
  wordEnded_ = false;
  wordLength_ = 0;
  wordMatchesRem_ = true;
}

void AutoexecRule::Scan(const char* testCopy, size_t length) {
  finder_.Scan(testCopy, length);
  for (size_t i = 0; i < length && !wordEnded_; ++i) {
    const char c = testCopy[i];
    if (inLeadingSpaces_) {
      if (c == kWordSeparator) continue;
      inLeadingSpaces_ = false;
    }
    if (c == kWordSeparator) {
      wordEnded_ = true;
      break;
    }
    // A tab, the line end or any other byte belongs to the word.
    if (wordLength_ >= kRemWordLength || c != kRemWord[wordLength_]) wordMatchesRem_ = false;
    ++wordLength_;
  }
}

const char* AutoexecRule::EndLine() {
  const uint32_t found = finder_.Found();
  if ((found & drivers_) == 0) return nullptr;
  if ((found & setPath_) != 0) return nullptr;
  const bool firstWordIsRem = !inLeadingSpaces_ && wordMatchesRem_ && wordLength_ == kRemWordLength;
  return firstWordIsRem ? nullptr : kRemPrefix;
}

}  // namespace vx
