// Test stand-ins for the start-up file pass: files in memory (with injected
// failures and short reads), POSIX files under a scratch root, and a system that
// makes backups through the same files and records what it was asked.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "startup_files/file_io.h"
#include "startup_files/update_startup_files.h"

namespace vxtest {

enum class FileOp {
  kOpenRead,
  kOpenWrite,
  kRead,
  kWrite,
  kSeek,
  kFlush,
  kClose,
  kWritable,
  kAttributes,
  kSetAttributes,
  kReplace,
  kRemove,
  kRename,
  kPause,
};

// Files held in memory, keyed by their exact path. Every call is one operation,
// numbered from 0 in the order made; any one of them, or every one from some
// number on, can be made to fail as the real system might, and Setup can be
// stopped before any of them.
//
// What the program sees (`contents`, `attributes`) is the system's cache. The
// disk is kept apart: a file's bytes reach it only when the file is flushed,
// and a folder change (a file made, cut, deleted or renamed)
// at once and in order, as NTFS keeps them; or, with `orderFreeFolders`, as
// the write-behind cache of Windows 95, 98 and Me does, in any order, only a
// flush writing out the changes to that file's own name.
class MemoryFiles final : public vx::FileSystem {
 public:
  static constexpr size_t kNever = std::numeric_limits<size_t>::max();

  std::map<std::string, std::string> contents;
  // The most bytes one Read hands back, to test readers against short reads.
  size_t readChunk = kNever;
  // The operation that fails, and whether every later one fails too. A failed
  // open leaves the file as it was; a failed write has written half its bytes;
  // a failed close still closes.
  size_t failAt = kNever;
  bool failFromThenOn = false;
  // Setup is stopped before this operation: it and every later one take no
  // effect and fail. AfterProcessStop and DisksAfterPowerCut then give what a
  // restart finds.
  size_t stopAt = kNever;
  // False for Windows 95, 98 and Me, which cannot replace a file in one step.
  bool replacesInOneStep = true;
  bool orderFreeFolders = false;
  // How many one-step replaces the system refuses before it lets one through
  // (another program holding the file); kNever: every one.
  size_t replaceRefusals = 0;
  // Paths where no new file can be made (a full root folder, say), files the
  // system refuses to delete, and names it refuses to rename a file to (held
  // open by another program).
  std::set<std::string> cannotCreate;
  std::set<std::string> cannotRemove;
  std::set<std::string> cannotRenameTo;
  // Attributes by path; a file not named has 0.
  std::map<std::string, uint32_t> attributes;
  // Called after every operation, failed or not.
  std::function<void()> afterEachOperation;

  std::vector<FileOp> log;
  size_t OpenHandles() const { return open_.size(); }
  // True when a file `path` exists and holds exactly `content`.
  bool Holds(const std::string& path, const std::string& content) const;

  // The same system after a restart, its files as the process left them: the
  // cache still reaches the disk.
  MemoryFiles AfterProcessStop() const;
  // Every state the disk may be in after a power cut now: what was flushed,
  // with each subset of the folder changes not yet written out.
  std::vector<MemoryFiles> DisksAfterPowerCut() const;

  vx::FileHandle OpenForRead(const char* path) override;
  vx::FileHandle OpenForWrite(const char* path) override;
  bool Read(vx::FileHandle file, char* buffer, size_t capacity, size_t* count) override;
  bool Write(vx::FileHandle file, const char* data, size_t size) override;
  bool Seek(vx::FileHandle file, uint64_t offset) override;
  bool Flush(vx::FileHandle file) override;
  bool FlushPath(const char* path) override;
  bool Close(vx::FileHandle file) override;
  bool Writable(const char* path) override;
  uint32_t Attributes(const char* path) override;
  bool SetAttributes(const char* path, uint32_t value) override;
  vx::ReplaceResult ReplaceInOneStep(const char* source, const char* target) override;
  bool Remove(const char* path) override;
  bool Rename(const char* from, const char* to) override;
  void Pause(uint32_t milliseconds) override;

 private:
  struct OpenFile {
    std::string path;
    size_t position{};
    bool writing{};
  };
  struct Entry {
    std::string content;
    uint32_t attributes{};
  };
  using Disk = std::map<std::string, Entry>;
  enum class Change { kMake, kCut, kRemove, kMove };
  struct FolderChange {
    Change change;
    std::string path;
    std::string to;
  };

  // Logs the operation and tells whether it is to fail; a failing operation
  // after the stop must take no effect at all.
  bool Fails(FileOp op);
  bool Stopped() const { return log.size() > stopAt; }
  // Gives the file at `from`, with its attributes, the name `to`.
  void MoveEntry(const std::string& from, const std::string& to);
  void Done() const;
  void ChangeFolder(FolderChange change);
  static void Apply(Disk& disk, const FolderChange& change);
  // Writes out the folder changes to `path`'s name and, `withContent`, the
  // bytes the file holds.
  void WriteOut(const std::string& path, bool withContent);
  // A system like this one, with no history, holding `disk`.
  MemoryFiles Restarted(const Disk& disk) const;
  Disk Cache() const;

  std::map<vx::FileHandle, OpenFile> open_;
  vx::FileHandle nextHandle_ = 3;
  // The disk, taken from the cache at the first operation.
  bool diskTaken_ = false;
  Disk disk_;
  std::vector<FolderChange> unwritten_;
  size_t replacesRefused_ = 0;
};

// Real files under `root`: a Windows path "c:\dir\name" is root/c/dir/name.
class PosixFiles final : public vx::FileSystem {
 public:
  explicit PosixFiles(std::string root) : root_(std::move(root)) {}

  std::string HostPath(const std::string& windowsPath) const;

  vx::FileHandle OpenForRead(const char* path) override;
  vx::FileHandle OpenForWrite(const char* path) override;
  bool Read(vx::FileHandle file, char* buffer, size_t capacity, size_t* count) override;
  bool Write(vx::FileHandle file, const char* data, size_t size) override;
  bool Seek(vx::FileHandle file, uint64_t offset) override;
  bool Flush(vx::FileHandle file) override;
  bool FlushPath(const char* path) override;
  bool Close(vx::FileHandle file) override;
  bool Writable(const char* path) override;
  uint32_t Attributes(const char* path) override;
  bool SetAttributes(const char* path, uint32_t attributes) override;
  vx::ReplaceResult ReplaceInOneStep(const char* source, const char* target) override;
  bool Remove(const char* path) override;
  bool Rename(const char* from, const char* to) override;
  void Pause(uint32_t /*milliseconds*/) override {}

 private:
  std::string root_;
};

// The system side of the pass. Backups are copied through `files` as the LZ
// service copies a plain file: the destination is emptied first, a failed read
// or write ends the copy, and the result says only whether the source opened.
class FakeStartupSystem final : public vx::StartupSystem {
 public:
  FakeStartupSystem(vx::FileSystem& files, std::string windowsDirectory)
      : files_(files), windowsDirectory_(std::move(windowsDirectory)) {}

  // Calls in order: "flush <file>", "flush win.ini", "backup <from> <to>",
  // "profile <file> [<section>] <key>=<value>".
  std::vector<std::string> calls;
  bool windowsDirectoryFails = false;
  // Copy at most this many bytes into a backup (a copy that stops short).
  size_t backupByteLimit = MemoryFiles::kNever;
  // Change the first byte copied (a source the service took for compressed).
  bool backupAltered = false;
  // Whether a profile entry is written into the file, as Windows NT writes
  // it: read, cut and written again whole, and left in the file system's
  // cache. (95, 98 and Me keep it in a profile cache of their own until it is
  // flushed: the end-to-end tests' Windows 95 layer models that.)
  bool profileWritesFile = false;
  // The texts of the stop messages shown, in order.
  std::vector<std::string> stops;

  bool WindowsDirectory(char* dest, size_t capacity) override;
  bool BackupStartupFile(const char* startupPath, const char* backupPath) override;
  bool WriteProfileEntry(const char* section, const char* key, const char* value, const char* path) override;
  void FlushProfileFile(const char* path) override;
  void FlushWinIni() override { calls.push_back("flush win.ini"); }
  void ShowStop(const char* message) override { stops.push_back(message); }

 private:
  vx::FileSystem& files_;
  std::string windowsDirectory_;
};

// Reads a whole host file; the empty string when it cannot be read.
std::string ReadHostFile(const std::string& path);
bool HostFileExists(const std::string& path);
void WriteHostFile(const std::string& path, const std::string& content);

}  // namespace vxtest
