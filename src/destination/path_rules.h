// The rules of the destination dialog that need no window: the checks of a
// custom path, the forming of installDir from it, the directory levels that are
// created for it and the free-space decision.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "shell/setup_state.h"

namespace vx {

// Messages and texts of the destination dialog, as the user sees them.
constexpr char kInvalidDriveMessage[] = "Invalid Drive!";
constexpr char kComponentTooLongMessage[] = "Invalid path!";  // lower-case p: a name over 8 characters
constexpr char kInvalidPathMessage[] = "Invalid Path!";       // capital P: a forbidden character, or nothing left
constexpr char kInsufficientSpaceMessage[] = "Insufficient disk space!, Choose other drive.";
constexpr char kCannotCreateMessage[] = "Can not create directory!";
constexpr char kDriveNotWritableMessage[] = "The Drive is not writable!";
constexpr char kCreateQuestion[] = "This directory does not exist, create it?!";

constexpr char kExpressDirectory[] = "c:\\vx95";
constexpr char kExpressFreeSpaceRoot[] = "c:";  // without a backslash
// Asked when the system refuses the form without a backslash: Windows'
// documentation wants a root to end in one, and a system that holds to that
// would otherwise refuse every express installation.
constexpr char kExpressFreeSpaceRootWithBackslash[] = "c:\\";
constexpr char kDefaultCustomPath[] = "VX95";
constexpr char kDriveListSource[] = "c:\\";

// The edit box is read into this many bytes, so at most 254 characters of the
// typed path count.
constexpr size_t kPathTextCapacity = 255;
constexpr size_t kMaxComponentLength = 8;
constexpr uint32_t kMinFreeBytes = 500000;  // decimal, not 512000

// Root of the free-space query of a custom drive: letter, ":", "\".
constexpr size_t kDriveRootCapacity = 4;

enum class PathVerdict : uint8_t {
  kAccepted,
  kInvalidDrive,        // the drive letter is below 'c'
  kComponentTooLong,    // a name between backslashes has more than 8 characters
  kForbiddenCharacter,  // space, ", *, comma, full stop, /, or one of : ; < = > ?
  kEmpty,               // nothing is left after the leading backslashes
  kNoRoomForFiles,      // installDir and an installed name would not fit what the copy can open
};

// The message box text that refuses a path; nullptr for kAccepted.
const char* VerdictMessage(PathVerdict verdict);

// True for the drive letters the program installs to: 'c' and above, compared as
// a signed 8-bit code, so bytes above 127 and the upper-case letters are refused.
bool IsAcceptedDriveLetter(char letter);

// The drive letter of an entry of the drive list ("[-d-]"): its third character,
// or '\0' for an entry shorter than three characters.
char DriveLetterOfEntry(const char* entry);

// Writes "d:\" for drive d.
void FormatDriveRoot(char driveLetter, char (&root)[kDriveRootCapacity]);

// Checks the selected drive and the typed path in the order the user meets the
// messages: drive, name length, forbidden characters, emptiness, room for the
// installed names. Only the first 254 characters of `editText` count. When the
// path is accepted, `pathText` receives the text without its leading backslashes
// and `installDir` the drive letter, ":\" and that text; doubled and trailing
// backslashes stay. When it is refused, neither buffer is touched.
PathVerdict CheckCustomPath(char driveLetter, const char* editText, char (&pathText)[kPathTextCapacity],
                            char (&installDir)[kPathCapacity]);

// True when a drive with the given figures has at least kMinFreeBytes free. The
// product is formed in 64 bits, so drives with 4 GB or more free pass.
bool IsEnoughFreeSpace(uint32_t sectorsPerCluster, uint32_t freeClusters, uint32_t bytesPerSector);

// The system's free-space figures of a drive root.
class FreeSpaceQuery {
 public:
  // False when the system cannot report on `root`; the figures are then not set.
  virtual bool Figures(const char* root, uint32_t* sectorsPerCluster, uint32_t* freeClusters,
                       uint32_t* bytesPerSector) = 0;

 protected:
  ~FreeSpaceQuery() = default;
};

// True when the drive of `root` has at least kMinFreeBytes free. When the system
// cannot report on `root`, `fallbackRoot` (if not null) is asked instead; a
// drive that no query reports on is refused. A drive reported with too little
// space is refused without asking the fallback.
bool DriveHasEnoughFreeSpace(FreeSpaceQuery& query, const char* root, const char* fallbackRoot);

// Walks the directories to create for a custom path, from the outermost in:
// "tools\\bin\" on drive d gives d:\tools, then d:\tools\bin. Empty names (from
// doubled, leading or trailing backslashes) give no level.
class DirectoryLevels {
 public:
  DirectoryLevels(char driveLetter, const char* pathText);

  // Moves to the next level; false when there is none left.
  bool Next();

  // The current level's full path, valid after Next returned true.
  const char* Path() const { return path_; }

 private:
  char text_[kPathTextCapacity] = {};
  char path_[kPathCapacity] = {};
  size_t textPosition_;
  size_t pathLength_;
};

}  // namespace vx
