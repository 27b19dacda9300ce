#include "startup_file_doubles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

namespace vxtest {

bool MemoryFiles::Fails(FileOp op) {
  if (!diskTaken_) {
    disk_ = Cache();
    diskTaken_ = true;
  }
  const size_t index = log.size();
  log.push_back(op);
  return index == failAt || (failFromThenOn && index >= failAt) || Stopped();
}

bool MemoryFiles::Holds(const std::string& path, const std::string& content) const {
  const auto it = contents.find(path);
  return it != contents.end() && it->second == content;
}

void MemoryFiles::Done() const {
  if (afterEachOperation) afterEachOperation();
}

MemoryFiles::Disk MemoryFiles::Cache() const {
  Disk cache;
  for (const auto& [path, content] : contents) {
    const auto attribute = attributes.find(path);
    cache[path] = {content, attribute == attributes.end() ? 0 : attribute->second};
  }
  return cache;
}

void MemoryFiles::ChangeFolder(FolderChange change) {
  if (!orderFreeFolders) {
    Apply(disk_, change);
    return;
  }
  // A file cut again before the first cut was written out is cut once.
  const auto same = [&](const FolderChange& c) { return c.change == Change::kCut && c.path == change.path; };
  if (change.change == Change::kCut && std::any_of(unwritten_.begin(), unwritten_.end(), same)) return;
  unwritten_.push_back(std::move(change));
}

// A rename onto a name the disk still holds (its delete not written out) puts
// a second entry of that name in the folder; the system finds the first, the
// old one, and the renamed file is lost to it.
void MemoryFiles::Apply(Disk& disk, const FolderChange& change) {
  const auto it = disk.find(change.path);
  switch (change.change) {
    case Change::kMake:
      disk.emplace(change.path, Entry{});
      break;
    case Change::kCut:
      if (it != disk.end()) it->second.content.clear();
      break;
    case Change::kRemove:
      if (it != disk.end()) disk.erase(it);
      break;
    case Change::kMove:
      if (it == disk.end()) break;
      if (disk.count(change.to) == 0) disk[change.to] = it->second;
      disk.erase(change.path);
      break;
  }
}

void MemoryFiles::WriteOut(const std::string& path, bool withContent) {
  std::vector<FolderChange> rest;
  for (const FolderChange& change : unwritten_) {
    if (change.path == path || change.to == path) {
      Apply(disk_, change);
    } else {
      rest.push_back(change);
    }
  }
  unwritten_ = std::move(rest);
  const auto it = disk_.find(path);
  if (withContent && it != disk_.end() && contents.count(path) != 0) it->second.content = contents[path];
}

MemoryFiles MemoryFiles::Restarted(const Disk& disk) const {
  MemoryFiles files;
  files.readChunk = readChunk;
  files.replacesInOneStep = replacesInOneStep;
  files.orderFreeFolders = orderFreeFolders;
  files.replaceRefusals = replaceRefusals;
  files.cannotCreate = cannotCreate;
  files.cannotRemove = cannotRemove;
  files.cannotRenameTo = cannotRenameTo;
  for (const auto& [path, entry] : disk) {
    files.contents[path] = entry.content;
    files.attributes[path] = entry.attributes;
  }
  return files;
}

MemoryFiles MemoryFiles::AfterProcessStop() const { return Restarted(Cache()); }

std::vector<MemoryFiles> MemoryFiles::DisksAfterPowerCut() const {
  if (!diskTaken_) return {Restarted(Cache())};
  std::vector<MemoryFiles> disks;
  const size_t subsets = size_t{1} << unwritten_.size();
  for (size_t subset = 0; subset < subsets; ++subset) {
    Disk disk = disk_;
    for (size_t i = 0; i < unwritten_.size(); ++i) {
      if ((subset >> i & 1) != 0) Apply(disk, unwritten_[i]);
    }
    disks.push_back(Restarted(disk));
  }
  return disks;
}

vx::FileHandle MemoryFiles::OpenForRead(const char* path) {
  vx::FileHandle handle = vx::kNoFile;
  if (!Fails(FileOp::kOpenRead) && contents.count(path) != 0) {
    handle = nextHandle_++;
    open_[handle] = {path, 0, false};
  }
  Done();
  return handle;
}

vx::FileHandle MemoryFiles::OpenForWrite(const char* path) {
  vx::FileHandle handle = vx::kNoFile;
  const bool exists = contents.count(path) != 0;
  if (!Fails(FileOp::kOpenWrite) && (exists || cannotCreate.count(path) == 0)) {
    contents[path].clear();
    ChangeFolder({exists ? Change::kCut : Change::kMake, path, ""});
    handle = nextHandle_++;
    open_[handle] = {path, 0, true};
  }
  Done();
  return handle;
}

bool MemoryFiles::Read(vx::FileHandle file, char* buffer, size_t capacity, size_t* count) {
  *count = 0;
  bool ok = false;
  auto it = open_.find(file);
  if (!Fails(FileOp::kRead) && it != open_.end() && !it->second.writing) {
    const std::string& data = contents[it->second.path];
    const size_t available = data.size() > it->second.position ? data.size() - it->second.position : 0;
    *count = std::min({capacity, available, readChunk});
    std::memcpy(buffer, data.data() + it->second.position, *count);
    it->second.position += *count;
    ok = true;
  }
  Done();
  return ok;
}

bool MemoryFiles::Write(vx::FileHandle file, const char* data, size_t size) {
  auto it = open_.find(file);
  bool ok = false;
  if (it != open_.end() && it->second.writing) {
    const bool fails = Fails(FileOp::kWrite);
    if (!Stopped()) contents[it->second.path].append(data, fails ? size / 2 : size);
    ok = !fails;
  } else {
    Fails(FileOp::kWrite);
  }
  Done();
  return ok;
}

bool MemoryFiles::Seek(vx::FileHandle file, uint64_t offset) {
  auto it = open_.find(file);
  const bool ok = !Fails(FileOp::kSeek) && it != open_.end();
  if (ok) it->second.position = static_cast<size_t>(offset);
  Done();
  return ok;
}

bool MemoryFiles::Flush(vx::FileHandle file) {
  const auto it = open_.find(file);
  const bool ok = !Fails(FileOp::kFlush) && it != open_.end() && it->second.writing;
  if (ok) WriteOut(it->second.path, true);
  Done();
  return ok;
}

bool MemoryFiles::FlushPath(const char* path) {
  const bool ok = !Fails(FileOp::kFlush) && contents.count(path) != 0;
  if (ok) WriteOut(path, true);
  Done();
  return ok;
}

bool MemoryFiles::Close(vx::FileHandle file) {
  const bool fails = Fails(FileOp::kClose);
  const bool known = open_.erase(file) != 0;
  Done();
  return known && !fails;
}

bool MemoryFiles::Writable(const char* path) {
  const bool ok = !Fails(FileOp::kWritable) && contents.count(path) != 0;
  Done();
  return ok;
}

uint32_t MemoryFiles::Attributes(const char* path) {
  uint32_t value = vx::kNoAttributes;
  if (!Fails(FileOp::kAttributes) && contents.count(path) != 0) value = attributes[path];
  Done();
  return value;
}

bool MemoryFiles::SetAttributes(const char* path, uint32_t value) {
  const bool ok = !Fails(FileOp::kSetAttributes) && contents.count(path) != 0;
  if (ok) {
    attributes[path] = value;
    // No test looks at attributes after a restart: they go to the disk at once.
    const auto entry = disk_.find(path);
    if (entry != disk_.end()) entry->second.attributes = value;
  }
  Done();
  return ok;
}

void MemoryFiles::MoveEntry(const std::string& from, const std::string& to) {
  contents[to] = std::move(contents[from]);
  contents.erase(from);
  attributes[to] = attributes[from];
  attributes.erase(from);
}

// The one-step replace is written through: on the disk at once, with every
// earlier change to either name.
vx::ReplaceResult MemoryFiles::ReplaceInOneStep(const char* source, const char* target) {
  vx::ReplaceResult result = vx::ReplaceResult::kFailed;
  const bool fails = Fails(FileOp::kReplace);
  if (!fails && !replacesInOneStep) {
    result = vx::ReplaceResult::kNotSupported;
  } else if (!fails && replacesRefused_ < replaceRefusals) {
    ++replacesRefused_;
  } else if (!fails && contents.count(source) != 0) {
    WriteOut(source, false);
    WriteOut(target, false);
    MoveEntry(source, target);
    Apply(disk_, {Change::kRemove, target, ""});
    Apply(disk_, {Change::kMove, source, target});
    result = vx::ReplaceResult::kReplaced;
  }
  Done();
  return result;
}

bool MemoryFiles::Remove(const char* path) {
  const bool ok = !Fails(FileOp::kRemove) && cannotRemove.count(path) == 0 && contents.erase(path) != 0;
  if (ok) {
    attributes.erase(path);
    ChangeFolder({Change::kRemove, path, ""});
  }
  Done();
  return ok;
}

bool MemoryFiles::Rename(const char* from, const char* to) {
  const bool ok =
      !Fails(FileOp::kRename) && contents.count(from) != 0 && contents.count(to) == 0 && cannotRenameTo.count(to) == 0;
  if (ok) {
    MoveEntry(from, to);
    ChangeFolder({Change::kMove, from, to});
  }
  Done();
  return ok;
}

void MemoryFiles::Pause(uint32_t /*milliseconds*/) {
  Fails(FileOp::kPause);
  Done();
}

std::string PosixFiles::HostPath(const std::string& windowsPath) const {
  std::string path = root_ + "/";
  for (char c : windowsPath) {
    if (c == ':') continue;
    path += c == '\\' ? '/' : c;
  }
  return path;
}

vx::FileHandle PosixFiles::OpenForRead(const char* path) {
  const int fd = ::open(HostPath(path).c_str(), O_RDONLY);
  return fd < 0 ? vx::kNoFile : fd;
}

vx::FileHandle PosixFiles::OpenForWrite(const char* path) {
  const int fd = ::open(HostPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  return fd < 0 ? vx::kNoFile : fd;
}

bool PosixFiles::Read(vx::FileHandle file, char* buffer, size_t capacity, size_t* count) {
  const ssize_t got = ::read(static_cast<int>(file), buffer, capacity);
  *count = got > 0 ? static_cast<size_t>(got) : 0;
  return got >= 0;
}

bool PosixFiles::Write(vx::FileHandle file, const char* data, size_t size) {
  while (size != 0) {
    const ssize_t put = ::write(static_cast<int>(file), data, size);
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

bool PosixFiles::Seek(vx::FileHandle file, uint64_t offset) {
  return ::lseek(static_cast<int>(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool PosixFiles::Flush(vx::FileHandle file) { return ::fsync(static_cast<int>(file)) == 0; }

bool PosixFiles::FlushPath(const char* path) {
  const int fd = ::open(HostPath(path).c_str(), O_RDONLY);
  if (fd < 0) return false;
  const bool flushed = ::fsync(fd) == 0;
  return ::close(fd) == 0 && flushed;
}

bool PosixFiles::Close(vx::FileHandle file) { return ::close(static_cast<int>(file)) == 0; }

bool PosixFiles::Writable(const char* path) { return ::access(HostPath(path).c_str(), W_OK) == 0; }

// POSIX files carry no DOS attributes; every existing file has none set.
uint32_t PosixFiles::Attributes(const char* path) { return HostFileExists(HostPath(path)) ? 0 : vx::kNoAttributes; }

bool PosixFiles::SetAttributes(const char* path, uint32_t attributes) {
  return attributes == 0 && HostFileExists(HostPath(path));
}

vx::ReplaceResult PosixFiles::ReplaceInOneStep(const char* source, const char* target) {
  return ::rename(HostPath(source).c_str(), HostPath(target).c_str()) == 0 ? vx::ReplaceResult::kReplaced
                                                                           : vx::ReplaceResult::kFailed;
}

bool PosixFiles::Remove(const char* path) { return ::unlink(HostPath(path).c_str()) == 0; }

bool PosixFiles::Rename(const char* from, const char* to) {
  return ::rename(HostPath(from).c_str(), HostPath(to).c_str()) == 0;
}

bool FakeStartupSystem::WindowsDirectory(char* dest, size_t capacity) {
  if (windowsDirectoryFails || windowsDirectory_.size() + 1 > capacity) return false;
  std::memcpy(dest, windowsDirectory_.c_str(), windowsDirectory_.size() + 1);
  return true;
}

bool FakeStartupSystem::BackupStartupFile(const char* startupPath, const char* backupPath) {
  calls.push_back(std::string("backup ") + startupPath + " " + backupPath);
  const vx::FileHandle source = files_.OpenForRead(startupPath);
  if (source == vx::kNoFile) return false;
  const vx::FileHandle backup = files_.OpenForWrite(backupPath);
  if (backup != vx::kNoFile) {
    size_t copied = 0;
    char block[1000];
    size_t count = 0;
    while (copied < backupByteLimit && files_.Read(source, block, sizeof block, &count) && count != 0) {
      count = std::min(count, backupByteLimit - copied);
      if (backupAltered && copied == 0) block[0] = static_cast<char>(block[0] ^ 0x20);
      if (!files_.Write(backup, block, count)) break;
      copied += count;
    }
    files_.Close(backup);
  }
  files_.Close(source);
  return true;
}

bool FakeStartupSystem::WriteProfileEntry(const char* section, const char* key, const char* value, const char* path) {
  calls.push_back(std::string("profile ") + path + " [" + section + "] " + key + "=" + value);
  if (!profileWritesFile) return true;
  const vx::FileHandle in = files_.OpenForRead(path);
  if (in == vx::kNoFile) return false;
  std::string text;
  char block[1000];
  size_t count = 0;
  bool read = true;
  while ((read = files_.Read(in, block, sizeof block, &count)) && count != 0) text.append(block, count);
  files_.Close(in);
  if (!read) return false;
  text += std::string(key) + "=" + value + "\r\n";
  const vx::FileHandle out = files_.OpenForWrite(path);
  if (out == vx::kNoFile) return false;
  const bool written = files_.Write(out, text.data(), text.size());
  return files_.Close(out) && written;
}

void FakeStartupSystem::FlushProfileFile(const char* path) { calls.push_back(std::string("flush ") + path); }

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool HostFileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

void WriteHostFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

}  // namespace vxtest
