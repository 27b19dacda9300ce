#include "destination/path_rules.h"

#include "shell/bounded_text.h"
#include "transfer/package_files.h"

namespace vx {
namespace {

struct VerdictText {
  PathVerdict verdict;
  const char* message;
};

// clang-format off
constexpr VerdictText kVerdictTexts[] = {
    {PathVerdict::kInvalidDrive,       kInvalidDriveMessage},
    {PathVerdict::kComponentTooLong,   kComponentTooLongMessage},
    {PathVerdict::kForbiddenCharacter, kInvalidPathMessage},
    {PathVerdict::kEmpty,              kInvalidPathMessage},
    {PathVerdict::kNoRoomForFiles,     kComponentTooLongMessage},
};
// clang-format on

// Characters that may not appear in a typed path. The backslash is the
// separator; every other byte, those above 127 included, is allowed.
constexpr char kForbiddenCharacters[] = " \"*,./:;<=>?";

// "d:\" in front of the typed text.
constexpr size_t kDrivePrefixLength = 3;

// Every level is the drive prefix and a part of the typed text, with no more
// separators than the text has backslashes, so it always fits a path buffer.
static_assert(kDrivePrefixLength + kPathTextCapacity <= kPathCapacity, "a level must fit a path");
// An installDir that passes the room test fits its buffer with room to spare.
static_assert(kOpenPathCapacity <= kPathCapacity, "installDir must hold what the copy can open");

// Copies at most the characters the edit box read lets through.
void TakePathText(char (&dest)[kPathTextCapacity], const char* source) {
  size_t i = 0;
  for (; i + 1 < kPathTextCapacity && source[i] != '\0'; ++i) dest[i] = source[i];
  dest[i] = '\0';
}

// Finds the next name between backslashes at or after `*position`, passing over
// empty ones as a token splitter does. Returns false when no name is left.
bool NextComponent(const char* text, size_t* position, size_t* start, size_t* length) {
  size_t i = *position;
  while (text[i] == '\\') ++i;
  *position = i;
  if (text[i] == '\0') return false;
  *start = i;
  while (text[i] != '\0' && text[i] != '\\') ++i;
  *length = i - *start;
  *position = i;
  return true;
}

bool HasLongComponent(const char* text) {
  size_t position = 0;
  size_t start = 0;
  size_t length = 0;
  while (NextComponent(text, &position, &start, &length)) {
    if (length > kMaxComponentLength) return true;
  }
  return false;
}

bool IsForbidden(char c) {
  for (const char* f = kForbiddenCharacters; *f != '\0'; ++f) {
    if (c == *f) return true;
  }
  return false;
}

bool HasForbiddenCharacter(const char* text) {
  for (; *text != '\0'; ++text) {
    if (IsForbidden(*text)) return true;
  }
  return false;
}

// installDir, a backslash, the longest installed name and the terminator must
// fit what the LZ expansion service can open, 127 characters, or it could not
// create the file there and the copy would skip it without a word.
bool LeavesRoomForFiles(size_t installDirLength) {
  return installDirLength + 1 + LongestName(&PackageFile::installedName) + 1 <= kOpenPathCapacity;
}

}  // namespace

const char* VerdictMessage(PathVerdict verdict) {
  for (const VerdictText& row : kVerdictTexts) {
    if (row.verdict == verdict) return row.message;
  }
  return nullptr;
}

bool IsAcceptedDriveLetter(char letter) {
  // The list holds lower-case letters; a and b are the floppy drives.
  return static_cast<int8_t>(letter) >= 'c';
}

char DriveLetterOfEntry(const char* entry) {
  if (entry[0] == '\0' || entry[1] == '\0') return '\0';
  return entry[2];
}

void FormatDriveRoot(char driveLetter, char (&root)[kDriveRootCapacity]) {
  root[0] = driveLetter;
  root[1] = ':';
  root[2] = '\\';
  root[3] = '\0';
}

PathVerdict CheckCustomPath(char driveLetter, const char* editText, char (&pathText)[kPathTextCapacity],
                            char (&installDir)[kPathCapacity]) {
  if (!IsAcceptedDriveLetter(driveLetter)) return PathVerdict::kInvalidDrive;

  char text[kPathTextCapacity];
  TakePathText(text, editText);

  // The length test looks at the text as typed and comes first, so a long name
  // is reported as such even when it also holds a forbidden character.
  if (HasLongComponent(text)) return PathVerdict::kComponentTooLong;

  const char* rest = text;
  while (*rest == '\\') ++rest;

  if (HasForbiddenCharacter(rest)) return PathVerdict::kForbiddenCharacter;
  if (*rest == '\0') return PathVerdict::kEmpty;

  const size_t restLength = TextLength(rest);
  if (!LeavesRoomForFiles(kDrivePrefixLength + restLength)) return PathVerdict::kNoRoomForFiles;

  // Both copies fit: rest is part of a text of kPathTextCapacity bytes, and the
  // room test above bounds the prefixed copy.
  CopyText(pathText, kPathTextCapacity, rest);
  char root[kDriveRootCapacity];
  FormatDriveRoot(driveLetter, root);
  CopyText(installDir, kPathCapacity, root);
  AppendText(installDir, kPathCapacity, rest);
  return PathVerdict::kAccepted;
}

bool IsEnoughFreeSpace(uint32_t sectorsPerCluster, uint32_t freeClusters, uint32_t bytesPerSector) {
  // On the Windows versions after 95 the three numbers can describe 4 GB or more,
  // which a 32-bit product would wrap into a small figure; it is formed in 64 bits.
  if (bytesPerSector == 0) return false;
  const uint64_t freeSectors = static_cast<uint64_t>(sectorsPerCluster) * freeClusters;
  // Once the sectors alone reach the minimum, any sector size keeps the product
  // above it. Deciding that first keeps the last product below 2^51, far inside
  // 64 bits, whatever the three numbers are.
  if (freeSectors >= kMinFreeBytes) return true;
  return freeSectors * bytesPerSector >= kMinFreeBytes;
}

bool DriveHasEnoughFreeSpace(FreeSpaceQuery& query, const char* root, const char* fallbackRoot) {
  uint32_t sectorsPerCluster = 0;
  uint32_t freeClusters = 0;
  uint32_t bytesPerSector = 0;
  if (!query.Figures(root, &sectorsPerCluster, &freeClusters, &bytesPerSector) &&
      (fallbackRoot == nullptr || !query.Figures(fallbackRoot, &sectorsPerCluster, &freeClusters, &bytesPerSector))) {
    return false;
  }
  return IsEnoughFreeSpace(sectorsPerCluster, freeClusters, bytesPerSector);
}

DirectoryLevels::DirectoryLevels(char driveLetter, const char* pathText) : textPosition_(0) {
  TakePathText(text_, pathText);
  char root[kDriveRootCapacity];
  FormatDriveRoot(driveLetter, root);
  CopyText(path_, kPathCapacity, root);
  pathLength_ = kDrivePrefixLength;
}

bool DirectoryLevels::Next() {
  size_t start = 0;
  size_t length = 0;
  if (!NextComponent(text_, &textPosition_, &start, &length)) return false;
  // The first level follows the drive's backslash; each further one gets its own.
  if (pathLength_ > kDrivePrefixLength) path_[pathLength_++] = '\\';
  for (size_t i = 0; i < length; ++i) path_[pathLength_++] = text_[start + i];
  path_[pathLength_] = '\0';
  return true;
}

}  // namespace vx
