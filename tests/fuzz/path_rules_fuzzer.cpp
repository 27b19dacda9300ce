// Fuzzes the destination dialog's path rules with any drive letter and any edit
// text of up to 300 bytes (input: the drive letter's byte, then the text).
//
// What must hold for every input:
// - CheckCustomPath gives the verdict that the rules, applied in the user's
//   order (drive, name length, forbidden characters, emptiness, room for the
//   installed names), give for the first 254 characters of the text;
// - a refusal has a message and leaves both output buffers as they were;
// - an acceptance has no message and gives installDir = "d:\" + the text less
//   its leading backslashes; with the dialog's final "\" and the longest
//   installed name behind it, it still fits what the LZ expansion service can
//   open (127 characters);
// - the directory levels of an accepted path, and of any text at all, are each
//   a prefix of installDir with its doubled backslashes taken as one, ending
//   where a name ends; they grow one name at a time and the last is installDir
//   without its final backslash;
// - the drive letter of a list entry is its third character, and nothing past
//   the entry's terminator is read;
// - the free-space test agrees with the exact product of its three numbers.
#include <stddef.h>
#include <stdint.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "destination/path_rules.h"
#include "fuzz_check.h"
#include "shell/bounded_text.h"
#include "shell/setup_state.h"

namespace {

using vx::PathVerdict;
using vxfuzz::Check;
using vxfuzz::Printable;

constexpr size_t kMaxEditText = 300;
constexpr size_t kCountedCharacters = 254;  // what the edit box read lets through
constexpr size_t kMaxNameLength = 8;
const std::string kForbidden = " \"*,./:;<=>?";
const std::string kLongestName = "vp95dll.dll";
constexpr unsigned char kUntouched = 0xA5;

// A C string in a heap block of exactly its size, so that AddressSanitizer
// reports any read past its terminator.
std::unique_ptr<char[]> ExactCopy(const std::string& text) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return copy;
}

std::vector<std::string> NonEmptyNames(const std::string& text) {
  std::vector<std::string> names;
  std::string name;
  for (char c : text) {
    if (c == '\\') {
      if (!name.empty()) names.push_back(name);
      name.clear();
    } else {
      name += c;
    }
  }
  if (!name.empty()) names.push_back(name);
  return names;
}

std::string WithoutLeadingBackslashes(const std::string& text) {
  const size_t first = text.find_first_not_of('\\');
  return first == std::string::npos ? std::string() : text.substr(first);
}

std::string CollapseBackslashes(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' && !out.empty() && out.back() == '\\') continue;
    out += c;
  }
  return out;
}

PathVerdict ExpectedVerdict(char drive, const std::string& typed) {
  if (static_cast<signed char>(drive) < 'c') return PathVerdict::kInvalidDrive;
  const std::string text = typed.substr(0, kCountedCharacters);
  for (const std::string& name : NonEmptyNames(text)) {
    if (name.size() > kMaxNameLength) return PathVerdict::kComponentTooLong;
  }
  const std::string rest = WithoutLeadingBackslashes(text);
  if (rest.find_first_of(kForbidden) != std::string::npos) return PathVerdict::kForbiddenCharacter;
  if (rest.empty()) return PathVerdict::kEmpty;
  // "d:\", the text, "\", the longest name and the terminator in what the copy
  // can open.
  if (3 + rest.size() + 1 + kLongestName.size() + 1 > vx::kOpenPathCapacity) return PathVerdict::kNoRoomForFiles;
  return PathVerdict::kAccepted;
}

const char* ExpectedMessage(PathVerdict verdict) {
  switch (verdict) {
    case PathVerdict::kAccepted:
      return nullptr;
    case PathVerdict::kInvalidDrive:
      return "Invalid Drive!";
    case PathVerdict::kComponentTooLong:
      return "Invalid path!";
    case PathVerdict::kForbiddenCharacter:
    case PathVerdict::kEmpty:
      return "Invalid Path!";
    case PathVerdict::kNoRoomForFiles:
      return "Invalid path!";
  }
  return "?";
}

// Walks the levels of `pathText` on `drive` and checks them against `target`,
// the directory they must build up to (no doubled backslashes, no final one).
void CheckLevels(char drive, const char* pathText, const std::string& target, const std::string& context) {
  const std::vector<std::string> names = NonEmptyNames(std::string(pathText).substr(0, kCountedCharacters));
  vx::DirectoryLevels levels(drive, pathText);
  std::string previous;
  size_t count = 0;
  while (levels.Next()) {
    const std::string level = levels.Path();
    const std::string detail = context + "\nlevel: " + Printable(level);
    Check(count < names.size(), "no more levels than names", detail);
    Check(level.size() < vx::kPathCapacity, "a level fits a path buffer", detail);
    Check(target.compare(0, level.size(), level) == 0, "a level is a prefix of the directory", detail);
    Check(level.size() == target.size() || target[level.size()] == '\\', "a level ends where a name ends", detail);
    const std::string expected = count == 0 ? std::string(1, drive) + ":\\" + names[0] : previous + "\\" + names[count];
    Check(level == expected, "each level adds the next name", detail + "\nexpected: " + Printable(expected));
    previous = level;
    ++count;
  }
  Check(count == names.size(), "one level per name", context);
  if (count != 0) Check(previous == target, "the last level is the whole directory", context);
}

void CheckAccepted(char drive, const std::string& typed, const char* pathText, const char* installDirText) {
  const std::string rest = WithoutLeadingBackslashes(typed.substr(0, kCountedCharacters));
  const std::string pathTextString = pathText;
  std::string installDir = installDirText;
  const std::string context = "text: " + Printable(typed) + "\ninstallDir: " + Printable(installDir);
  Check(pathTextString == rest, "pathText is the text without its leading backslashes", context);
  Check(installDir == std::string(1, drive) + ":\\" + rest, "installDir is the drive, \":\\\" and the text", context);

  // As the dialog ends: a final backslash, and the copy and the registry pass
  // append their names behind it.
  char finalDir[vx::kPathCapacity];
  std::memcpy(finalDir, installDirText, installDir.size() + 1);
  Check(vx::AppendText(finalDir, sizeof finalDir, "\\"), "the final backslash fits", context);
  installDir = finalDir;
  Check(installDir.back() == '\\', "installDir ends in a backslash", context);
  Check(installDir.size() + kLongestName.size() < vx::kOpenPathCapacity, "the longest installed name can be opened",
        context);

  std::string target = CollapseBackslashes(installDir);
  target.pop_back();
  CheckLevels(drive, pathText, target, context);
}

void CheckCustomPath(char drive, const std::string& typed) {
  const std::unique_ptr<char[]> edit = ExactCopy(typed);
  char pathText[vx::kPathTextCapacity];
  char installDir[vx::kPathCapacity];
  std::memset(pathText, kUntouched, sizeof pathText);
  std::memset(installDir, kUntouched, sizeof installDir);

  const PathVerdict verdict = vx::CheckCustomPath(drive, edit.get(), pathText, installDir);
  const PathVerdict expected = ExpectedVerdict(drive, typed);
  const std::string context = "drive: " + Printable(std::string(1, drive)) + "\ntext: " + Printable(typed);
  Check(verdict == expected, "the verdict follows the rules in the user's order",
        context + "\nverdict " + std::to_string(static_cast<int>(verdict)) + ", expected " +
            std::to_string(static_cast<int>(expected)));

  const char* message = vx::VerdictMessage(verdict);
  const char* expectedMessage = ExpectedMessage(verdict);
  Check((message == nullptr) == (expectedMessage == nullptr) &&
            (message == nullptr || std::strcmp(message, expectedMessage) == 0),
        "a refusal has its message and an acceptance none", context);

  if (verdict != PathVerdict::kAccepted) {
    bool untouched = true;
    for (unsigned char c : pathText) untouched = untouched && c == kUntouched;
    for (unsigned char c : installDir) untouched = untouched && c == kUntouched;
    Check(untouched, "a refused path leaves both buffers as they were", context);
    return;
  }
  Check(std::memchr(pathText, '\0', sizeof pathText) != nullptr, "pathText is terminated", context);
  Check(std::memchr(installDir, '\0', sizeof installDir) != nullptr, "installDir is terminated", context);
  CheckAccepted(drive, typed, pathText, installDir);
}

// Any text at all, accepted or not, gives levels that stay inside a path. The
// dialog only walks them for an accepted drive.
void CheckLevelsOfAnyText(char typedDrive, const std::string& typed) {
  const char drive = vx::IsAcceptedDriveLetter(typedDrive) ? typedDrive : 'c';
  const std::unique_ptr<char[]> text = ExactCopy(typed);
  const std::string counted = typed.substr(0, kCountedCharacters);
  std::string target = std::string(1, drive) + ":\\";
  for (const std::string& name : NonEmptyNames(counted)) target += name + "\\";
  target.pop_back();
  CheckLevels(drive, text.get(), target, "levels of any text: " + Printable(typed));
}

void CheckDriveEntry(const std::string& entry) {
  const std::unique_ptr<char[]> copy = ExactCopy(entry);
  const char expected = entry.size() >= 3 ? entry[2] : '\0';
  Check(vx::DriveLetterOfEntry(copy.get()) == expected, "a drive entry's letter is its third character",
        "entry: " + Printable(entry));
}

uint32_t Word(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void CheckFreeSpace(const uint8_t* bytes) {
  const uint32_t sectorsPerCluster = Word(bytes);
  const uint32_t freeClusters = Word(bytes + 4);
  const uint32_t bytesPerSector = Word(bytes + 8);
  const unsigned __int128 product = static_cast<unsigned __int128>(sectorsPerCluster) * freeClusters * bytesPerSector;
  Check(vx::IsEnoughFreeSpace(sectorsPerCluster, freeClusters, bytesPerSector) == (product >= vx::kMinFreeBytes),
        "the free-space test agrees with the exact product",
        std::to_string(sectorsPerCluster) + " x " + std::to_string(freeClusters) + " x " +
            std::to_string(bytesPerSector));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char drive = static_cast<char>(data[0]);
  const size_t textLength = size - 1 < kMaxEditText ? size - 1 : kMaxEditText;
  // The edit box holds no NUL: the text ends at the first one.
  const std::string raw(reinterpret_cast<const char*>(data + 1), textLength);
  const std::string typed = raw.substr(0, raw.find('\0'));

  CheckCustomPath(drive, typed);
  CheckLevelsOfAnyText(drive, typed);
  CheckDriveEntry(typed);
  if (size >= 13) CheckFreeSpace(data + 1);
  return 0;
}
