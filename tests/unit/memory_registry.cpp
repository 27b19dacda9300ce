#include "memory_registry.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace vxtest {
namespace {

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

bool NameBefore(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

// Splits a key path at its backslashes. False for an empty path or an empty
// component, which the registry refuses.
bool SplitPath(const std::string& path, std::vector<std::string>* parts) {
  parts->clear();
  if (path.empty()) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = path.find('\\', start);
    const std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty()) return false;
    parts->push_back(part);
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

}  // namespace

std::string Render(const RegValue& value) {
  const auto& b = value.bytes;
  if (value.type == kRegSz && !b.empty() && b.back() == 0 && std::find(b.begin(), b.end() - 1, 0) == b.end() - 1) {
    return "REG_SZ \"" + std::string(b.begin(), b.end() - 1) + "\"";
  }
  // Anything but one well-formed text shows as bytes, so a missing or extra
  // terminator is visible in a comparison.
  std::string text = value.type == kRegNone ? "REG_NONE"
                     : value.type == kRegSz ? "REG_SZ bytes"
                                            : "type " + std::to_string(value.type);
  for (uint8_t byte : b) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", byte);
    text += hex;
  }
  return text;
}

const char* RegOpName(RegOp op) {
  switch (op) {
    case RegOp::kCreate:
      return "create";
    case RegOp::kOpen:
      return "open";
    case RegOp::kSetText:
      return "set-text";
    case RegOp::kSetNone:
      return "set-none";
    case RegOp::kReadText:
      return "read-text";
    case RegOp::kEnumKey:
      return "enum-subkey";
    case RegOp::kEnumValue:
      return "enum-value";
    case RegOp::kDeleteTree:
      return "delete-tree";
    case RegOp::kFlush:
      return "flush";
    case RegOp::kClose:
      return "close";
  }
  return "?";
}

bool operator==(const RegValue& a, const RegValue& b) { return a.type == b.type && a.bytes == b.bytes; }

void PrintTo(const RegValue& value, std::ostream* out) { *out << Render(value); }

RegValue TextValue(const std::string& text) {
  RegValue value{kRegSz, std::vector<uint8_t>(text.begin(), text.end())};
  value.bytes.push_back(0);
  return value;
}

MemoryRegistry::MemoryRegistry() : root_(new Node) {}

MemoryRegistry::Node* MemoryRegistry::Find(const std::string& path) const {
  if (path.empty()) return root_.get();
  std::vector<std::string> parts;
  if (!SplitPath(path, &parts)) return nullptr;
  Node* node = root_.get();
  for (const std::string& part : parts) {
    auto it = std::find_if(node->children.begin(), node->children.end(),
                           [&](const std::unique_ptr<Node>& child) { return SameName(child->name, part); });
    if (it == node->children.end()) return nullptr;
    node = it->get();
  }
  return node;
}

MemoryRegistry::Node* MemoryRegistry::Make(const std::string& path) {
  std::vector<std::string> parts;
  if (!SplitPath(path, &parts)) return nullptr;
  Node* node = root_.get();
  for (const std::string& part : parts) {
    auto it = std::find_if(node->children.begin(), node->children.end(),
                           [&](const std::unique_ptr<Node>& child) { return SameName(child->name, part); });
    if (it == node->children.end()) {
      node->children.emplace_back(new Node{part, {}, {}});
      node = node->children.back().get();
    } else {
      node = it->get();
    }
  }
  return node;
}

void MemoryRegistry::AddKey(const std::string& path) { Make(path); }

void MemoryRegistry::PutText(const std::string& path, const std::string& name, const std::string& text) {
  PutValue(path, name, TextValue(text));
}

void MemoryRegistry::PutValue(const std::string& path, const std::string& name, RegValue value) {
  Node* node = Make(path);
  for (auto& entry : node->values) {
    if (SameName(entry.first, name)) {
      entry.second = std::move(value);
      return;
    }
  }
  node->values.emplace_back(name, std::move(value));
}

bool MemoryRegistry::HasKey(const std::string& path) const { return Find(path) != nullptr; }

const RegValue* MemoryRegistry::FindValue(const std::string& path, const std::string& name) const {
  const Node* node = Find(path);
  if (node == nullptr) return nullptr;
  for (const auto& entry : node->values) {
    if (SameName(entry.first, name)) return &entry.second;
  }
  return nullptr;
}

std::vector<std::string> MemoryRegistry::SubkeyNames(const std::string& path) const {
  std::vector<std::string> names;
  if (const Node* node = Find(path)) {
    for (const auto& child : node->children) names.push_back(child->name);
  }
  return names;
}

size_t MemoryRegistry::ValueCount(const std::string& path) const {
  const Node* node = Find(path);
  return node != nullptr ? node->values.size() : 0;
}

void MemoryRegistry::DumpNode(const Node& node, const std::string& path, std::string* out) const {
  if (!path.empty() && (!node.values.empty() || node.children.empty())) {
    *out += path + "\n";
    for (const auto& entry : node.values) *out += "  " + entry.first + " = " + Render(entry.second) + "\n";
  }
  std::vector<const Node*> children;
  for (const auto& child : node.children) children.push_back(child.get());
  std::sort(children.begin(), children.end(),
            [](const Node* a, const Node* b) { return NameBefore(a->name, b->name); });
  for (const Node* child : children) DumpNode(*child, path.empty() ? child->name : path + "\\" + child->name, out);
}

std::string MemoryRegistry::Dump(const std::string& path) const {
  std::string out;
  if (const Node* node = Find(path)) DumpNode(*node, path, &out);
  return out;
}

void MemoryRegistry::FailAt(const std::vector<size_t>& schedule) { failAt_.insert(schedule.begin(), schedule.end()); }

void MemoryRegistry::FailWhere(RegOp op, const std::string& path, const std::string& name) {
  rules_.push_back(Rule{op, path, name});
}

bool MemoryRegistry::Begin(RegOp op, const std::string& path, const std::string& name) {
  bool inject = op != RegOp::kClose && (failAt_.count(operations_.size()) != 0 || operations_.size() >= stopAt_);
  for (const Rule& rule : rules_) {
    if (op == rule.op && SameName(path, rule.path) && (rule.name.empty() || SameName(name, rule.name))) {
      inject = true;
    }
  }
  operations_.push_back(RegOperation{op, path, name, false, inject});
  return !inject;
}

bool MemoryRegistry::Finish(bool succeeded) {
  operations_.back().succeeded = succeeded;
  return succeeded;
}

const MemoryRegistry::Handle* MemoryRegistry::FindHandle(vx::RegistryKey key) const {
  for (const Handle& handle : handles_) {
    if (handle.key == key) return &handle;
  }
  return nullptr;
}

vx::RegistryKey MemoryRegistry::Issue(const std::string& path) {
  handles_.push_back(Handle{nextKey_, path});
  return nextKey_++;
}

bool MemoryRegistry::CreateKey(const char* path, vx::RegistryKey* key) {
  if (!Begin(RegOp::kCreate, path, "")) return false;
  if (Make(path) == nullptr) return Finish(false);
  *key = Issue(path);
  return Finish(true);
}

bool MemoryRegistry::OpenKey(const char* path, vx::RegistryKey* key) {
  if (!Begin(RegOp::kOpen, path, "")) return false;
  if (Find(path) == nullptr || std::string(path).empty()) return Finish(false);
  *key = Issue(path);
  return Finish(true);
}

bool MemoryRegistry::SetValue(vx::RegistryKey key, RegOp op, const char* name, RegValue value) {
  const Handle* handle = FindHandle(key);
  if (handle == nullptr) ++badHandleUses_;
  if (!Begin(op, handle ? handle->path : "?", name)) return false;
  // A key deleted while open takes no more values.
  Node* node = handle ? Find(handle->path) : nullptr;
  if (node == nullptr) return Finish(false);
  PutValue(handle->path, name, std::move(value));
  return Finish(true);
}

bool MemoryRegistry::SetText(vx::RegistryKey key, const char* name, const char* text) {
  return SetValue(key, RegOp::kSetText, name, TextValue(text));
}

bool MemoryRegistry::SetNoneValue(vx::RegistryKey key, const char* name, uint32_t value) {
  RegValue data{kRegNone, {}};
  for (int i = 0; i < 4; ++i) data.bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return SetValue(key, RegOp::kSetNone, name, std::move(data));
}

bool MemoryRegistry::ReadText(vx::RegistryKey key, const char* name, char* buffer, size_t capacity) {
  const Handle* handle = FindHandle(key);
  if (handle == nullptr) ++badHandleUses_;
  if (!Begin(RegOp::kReadText, handle ? handle->path : "?", name)) return false;
  const RegValue* value = handle ? FindValue(handle->path, name) : nullptr;
  if (value == nullptr || value->bytes.size() > capacity) return Finish(false);
  // As the Win32 side does: data stored without a terminator gets one if there
  // is room for it.
  const size_t size = value->bytes.size();
  std::copy(value->bytes.begin(), value->bytes.end(), buffer);
  if (size == 0 || buffer[size - 1] != '\0') {
    if (size >= capacity) return Finish(false);
    buffer[size] = '\0';
  }
  return Finish(true);
}

bool MemoryRegistry::EnumSubkey(vx::RegistryKey key, uint32_t index, char* name, size_t capacity) {
  const Handle* handle = FindHandle(key);
  if (handle == nullptr) ++badHandleUses_;
  if (!Begin(RegOp::kEnumKey, handle ? handle->path : "?", "")) return false;
  const Node* node = handle ? Find(handle->path) : nullptr;
  if (node == nullptr || index >= node->children.size()) return Finish(false);
  const std::string& child = node->children[index]->name;
  if (child.size() >= capacity) return Finish(false);
  std::copy(child.begin(), child.end(), name);
  name[child.size()] = '\0';
  return Finish(true);
}

vx::EnumResult MemoryRegistry::EnumValue(vx::RegistryKey key, uint32_t index, vx::RegistryValue* value) {
  const Handle* handle = FindHandle(key);
  if (handle == nullptr) ++badHandleUses_;
  if (!Begin(RegOp::kEnumValue, handle ? handle->path : "?", "")) return vx::EnumResult::kUnreadable;
  const Node* node = handle ? Find(handle->path) : nullptr;
  const bool past = node != nullptr && index >= node->values.size();
  const bool fits = node != nullptr && !past && node->values[index].first.size() < sizeof value->name &&
                    node->values[index].second.bytes.size() <= sizeof value->data;
  if (!Finish(fits)) return past ? vx::EnumResult::kEnd : vx::EnumResult::kUnreadable;
  const auto& entry = node->values[index];
  std::copy(entry.first.begin(), entry.first.end(), value->name);
  value->name[entry.first.size()] = '\0';
  value->type = entry.second.type;
  std::copy(entry.second.bytes.begin(), entry.second.bytes.end(), value->data);
  value->size = entry.second.bytes.size();
  return vx::EnumResult::kValue;
}

bool MemoryRegistry::DeleteTree(const char* path) {
  if (!Begin(RegOp::kDeleteTree, path, "")) return false;
  std::vector<std::string> parts;
  if (!SplitPath(path, &parts)) return Finish(false);
  const std::string leaf = parts.back();
  parts.pop_back();
  std::string parentPath;
  for (const std::string& part : parts) parentPath += (parentPath.empty() ? "" : "\\") + part;
  Node* parent = Find(parentPath);
  if (parent == nullptr) return Finish(false);
  auto it = std::find_if(parent->children.begin(), parent->children.end(),
                         [&](const std::unique_ptr<Node>& child) { return SameName(child->name, leaf); });
  if (it == parent->children.end()) return Finish(false);
  parent->children.erase(it);
  return Finish(true);
}

void MemoryRegistry::Flush(vx::RegistryKey key) {
  const Handle* handle = FindHandle(key);
  if (handle == nullptr) ++badHandleUses_;
  if (!Begin(RegOp::kFlush, handle ? handle->path : "?", "")) return;
  Finish(handle != nullptr);
}

void MemoryRegistry::Close(vx::RegistryKey key) {
  const Handle* handle = FindHandle(key);
  if (handle == nullptr) ++badHandleUses_;
  Begin(RegOp::kClose, handle ? handle->path : "?", "");
  if (handle != nullptr) handles_.erase(handles_.begin() + (handle - handles_.data()));
  Finish(handle != nullptr);
}

}  // namespace vxtest
