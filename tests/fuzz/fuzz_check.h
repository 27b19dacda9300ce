// What the fuzz targets share: a failed invariant prints what went wrong and
// aborts, so libFuzzer keeps the input as a crash and prints how to replay it;
// and a printable form of arbitrary bytes for those messages.
#pragma once

#include <stddef.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vxfuzz {

// Bytes outside printable ASCII as \xNN, so a message shows exactly what the
// code saw.
inline std::string Printable(const std::string& bytes, size_t limit = 400) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  if (bytes.size() > limit) out += "... (" + std::to_string(bytes.size()) + " bytes)";
  return out;
}

[[noreturn]] inline void Fail(const char* invariant, const std::string& detail) {
  std::fprintf(stderr, "\nINVARIANT BROKEN: %s\n%s\n", invariant, detail.c_str());
  std::abort();
}

inline void Check(bool holds, const char* invariant, const std::string& detail = std::string()) {
  if (!holds) Fail(invariant, detail);
}

}  // namespace vxfuzz
