#include "shell/bounded_text.h"

namespace vx {

size_t TextLength(const char* text) {
  size_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

bool CopyText(char* dest, size_t capacity, const char* source) {
  if (capacity == 0) return false;
  const size_t length = TextLength(source);
  if (length >= capacity) {
    dest[0] = '\0';
    return false;
  }
  for (size_t i = 0; i <= length; ++i) dest[i] = source[i];
  return true;
}

bool AppendText(char* dest, size_t capacity, const char* source) {
  const size_t start = TextLength(dest);
  const size_t length = TextLength(source);
  if (start + length >= capacity) return false;
  for (size_t i = 0; i <= length; ++i) dest[start + i] = source[i];
  return true;
}

void LowerAscii(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
  }
}

bool ContainsText(const char* haystack, const char* needle) {
  if (needle[0] == '\0') return true;
  for (; *haystack != '\0'; ++haystack) {
    size_t i = 0;
    while (needle[i] != '\0' && haystack[i] == needle[i]) ++i;
    if (needle[i] == '\0') return true;
  }
  return false;
}

bool FormatFourDigits(char* dest, size_t capacity, unsigned value) {
  if (capacity < 5 || value > 9999) return false;
  for (int i = 3; i >= 0; --i) {
    dest[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  dest[4] = '\0';
  return true;
}

}  // namespace vx
