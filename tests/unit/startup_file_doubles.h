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
};

// Files held in memory, keyed by their exact path. Every call is one operation,
// numbered from 0 in the order made; any one of them, or every one from some
// number on, can be made to fail as the real system might, and the power can be
// cut after any of them.
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
  // The operations from this one on take no effect and fail: the machine lost
  // its power, or the process was killed, just before it. What the files hold
  // then is what a restart finds on the disk.
  size_t powerCutAt = kNever;
  // False for Windows 95, which cannot replace a file in one step.
  bool replacesInOneStep = true;
  // Paths where no new file can be made (a full root folder, say).
  std::set<std::string> cannotCreate;
  // Attributes by path; a file not named has 0.
  std::map<std::string, uint32_t> attributes;
  // Called after every operation, failed or not.
  std::function<void()> afterEachOperation;

  std::vector<FileOp> log;
  size_t OpenHandles() const { return open_.size(); }
  // True when a file `path` exists and holds exactly `content`.
  bool Holds(const std::string& path, const std::string& content) const;

  vx::FileHandle OpenForRead(const char* path) override;
  vx::FileHandle OpenForWrite(const char* path) override;
  bool Read(vx::FileHandle file, char* buffer, size_t capacity, size_t* count) override;
  bool Write(vx::FileHandle file, const char* data, size_t size) override;
  bool Seek(vx::FileHandle file, uint64_t offset) override;
  bool Flush(vx::FileHandle file) override;
  bool Close(vx::FileHandle file) override;
  bool Writable(const char* path) override;
  uint32_t Attributes(const char* path) override;
  bool SetAttributes(const char* path, uint32_t value) override;
  vx::ReplaceResult ReplaceInOneStep(const char* source, const char* target) override;
  bool Remove(const char* path) override;
  bool Rename(const char* from, const char* to) override;

 private:
  struct OpenFile {
    std::string path;
    size_t position{};
    bool writing{};
  };

  // Logs the operation and tells whether it is to fail; a failing operation
  // after the power cut must take no effect at all.
  bool Fails(FileOp op);
  bool PowerIsOff() const { return log.size() > powerCutAt; }
  // Gives the file at `from`, with its attributes, the name `to`.
  void MoveEntry(const std::string& from, const std::string& to);
  void Done() const;

  std::map<vx::FileHandle, OpenFile> open_;
  vx::FileHandle nextHandle_ = 3;
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
  bool Close(vx::FileHandle file) override;
  bool Writable(const char* path) override;
  uint32_t Attributes(const char* path) override;
  bool SetAttributes(const char* path, uint32_t attributes) override;
  vx::ReplaceResult ReplaceInOneStep(const char* source, const char* target) override;
  bool Remove(const char* path) override;
  bool Rename(const char* from, const char* to) override;

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

  // Calls in order: "flush <file>", "backup <from> <to>",
  // "profile <file> [<section>] <key>=<value>".
  std::vector<std::string> calls;
  bool windowsDirectoryFails = false;
  // Copy at most this many bytes into a backup (a copy that stops short).
  size_t backupByteLimit = MemoryFiles::kNever;
  // Change the first byte copied (a source the service took for compressed).
  bool backupAltered = false;
  // The texts of the stop messages shown, in order.
  std::vector<std::string> stops;

  bool WindowsDirectory(char* dest, size_t capacity) override;
  bool BackupStartupFile(const char* startupPath, const char* backupPath) override;
  void WriteProfileEntry(const char* section, const char* key, const char* value, const char* fileName) override;
  void FlushProfileCache(const char* fileName) override;
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
