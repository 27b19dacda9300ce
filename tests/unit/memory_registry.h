// An in-memory registry for the unit tests of the registry pass.
//
// It keeps a tree of keys with typed values, compares key and value names without
// regard to ASCII case as the Windows registry does, records every call made
// through the vx::Registry interface, counts the keys left open, and fails on
// request any call but a close: by its position in the recorded sequence (a
// failure schedule, as a fuzzer drives it), from a position on (a stopped run)
// or by kind, path and value name.
// Beside it, RecordingShortcut stands in for the desktop shortcut.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "registration/registry.h"
#include "registration/registry_pass.h"

namespace vxtest {

enum class RegOp { kCreate, kOpen, kSetText, kSetNone, kReadText, kEnumKey, kEnumValue, kDeleteTree, kFlush, kClose };

const char* RegOpName(RegOp op);

using vx::kRegNone;
using vx::kRegSz;

struct RegValue {
  uint32_t type;
  std::vector<uint8_t> bytes;
};

// One call through the interface. `path` is the key's path as it was created or
// opened (for calls on a handle, the handle's path); `name` the value name of a
// set or read, empty otherwise.
struct RegOperation {
  RegOp op;
  std::string path;
  std::string name;
  bool succeeded;
  bool injected;  // failed because the test scheduled it
};

class MemoryRegistry final : public vx::Registry {
 public:
  MemoryRegistry();

  // Arranging the starting tree. Not recorded; missing parents are created.
  void AddKey(const std::string& path);
  void PutText(const std::string& path, const std::string& name, const std::string& text);
  void PutValue(const std::string& path, const std::string& name, RegValue value);

  // Inspecting the tree.
  bool HasKey(const std::string& path) const;
  const RegValue* FindValue(const std::string& path, const std::string& name) const;
  std::vector<std::string> SubkeyNames(const std::string& path) const;
  size_t ValueCount(const std::string& path) const;
  // The whole tree (or the subtree at `path`) as text: every key that holds
  // values or has no subkeys, in name order, with its values in write order.
  std::string Dump(const std::string& path = "") const;

  // Failure injection. `schedule` lists operation indices to fail; an index
  // counts every recorded call from 0, closes included, but a close never fails.
  void FailAt(const std::vector<size_t>& schedule);
  // Fails every call from the `index`-th on, as if the process had ended there;
  // StopAt(SIZE_MAX) lets the next run through.
  void StopAt(size_t index) { stopAt_ = index; }
  // Fails every call of kind `op` on `path` (and value `name`, when not empty).
  void FailWhere(RegOp op, const std::string& path, const std::string& name = "");

  const std::vector<RegOperation>& operations() const { return operations_; }
  size_t OpenHandleCount() const { return handles_.size(); }
  // Calls made with a handle that was never issued or already closed.
  size_t BadHandleUses() const { return badHandleUses_; }

  // vx::Registry
  bool CreateKey(const char* path, vx::RegistryKey* key) override;
  bool OpenKey(const char* path, vx::RegistryKey* key) override;
  bool SetText(vx::RegistryKey key, const char* name, const char* text) override;
  bool SetNoneValue(vx::RegistryKey key, const char* name, uint32_t value) override;
  bool ReadText(vx::RegistryKey key, const char* name, char* buffer, size_t capacity) override;
  bool EnumSubkey(vx::RegistryKey key, uint32_t index, char* name, size_t capacity) override;
  vx::EnumResult EnumValue(vx::RegistryKey key, uint32_t index, vx::RegistryValue* value) override;
  bool DeleteTree(const char* path) override;
  void Flush(vx::RegistryKey key) override;
  void Close(vx::RegistryKey key) override;

 private:
  struct Node {
    std::string name;
    std::vector<std::pair<std::string, RegValue>> values;
    std::vector<std::unique_ptr<Node>> children;
  };
  struct Handle {
    vx::RegistryKey key;
    std::string path;
  };
  struct Rule {
    RegOp op;
    std::string path;
    std::string name;
  };

  Node* Find(const std::string& path) const;
  Node* Make(const std::string& path);
  const Handle* FindHandle(vx::RegistryKey key) const;
  // Records the call; returns false when it is to fail by injection.
  bool Begin(RegOp op, const std::string& path, const std::string& name);
  bool Finish(bool succeeded);
  vx::RegistryKey Issue(const std::string& path);
  bool SetValue(vx::RegistryKey key, RegOp op, const char* name, RegValue value);
  void DumpNode(const Node& node, const std::string& path, std::string* out) const;

  std::unique_ptr<Node> root_;
  std::vector<Handle> handles_;
  vx::RegistryKey nextKey_ = 1;
  std::vector<RegOperation> operations_;
  std::set<size_t> failAt_;
  size_t stopAt_ = SIZE_MAX;
  std::vector<Rule> rules_;
  size_t badHandleUses_ = 0;
};

bool operator==(const RegValue& a, const RegValue& b);
// As Dump shows a value: REG_SZ "text" for a text with one terminator, else the
// type and every byte in hex.
std::string Render(const RegValue& value);
void PrintTo(const RegValue& value, std::ostream* out);

// The bytes of a REG_SZ value: the text and its terminating NUL.
RegValue TextValue(const std::string& text);

// The pass's other test double: remembers each program path it is given and how
// many registry calls had been made by then, to place the shortcut in the pass.
class RecordingShortcut final : public vx::ShortcutMaker {
 public:
  explicit RecordingShortcut(const MemoryRegistry& registry) : registry_(registry) {}
  void MakeShortcut(const char* programPath) override {
    programPaths.push_back(programPath);
    operationCounts.push_back(registry_.operations().size());
  }
  std::vector<std::string> programPaths;
  std::vector<size_t> operationCounts;

 private:
  const MemoryRegistry& registry_;
};

}  // namespace vxtest
