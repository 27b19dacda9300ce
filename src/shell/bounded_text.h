// Bounded text helpers shared by every subsystem.
//
// SETUP.EXE links no C runtime, so the portable code cannot use strlen, strcpy or
// strstr; these few helpers stand in for them. Every writing helper takes the
// capacity of its destination in bytes (terminator included) and never writes past
// it. Text is 8-bit ANSI; only the letters A to Z are ever case-folded.
#pragma once

#include <stddef.h>

namespace vx {

// Number of bytes before the terminating NUL.
size_t TextLength(const char* text);

// Copies `source` into `dest` (capacity `capacity`). Returns false, leaving `dest`
// an empty string, when the whole text with its terminator does not fit: a path
// is used whole or not at all, never cut.
bool CopyText(char* dest, size_t capacity, const char* source);

// Appends `source` to the text already in `dest`. Returns false, leaving `dest`
// unchanged, when the result would not fit.
bool AppendText(char* dest, size_t capacity, const char* source);

// Turns the letters A to Z into a to z in place; every other byte stays.
void LowerAscii(char* text);

// True when `needle` occurs anywhere in `haystack` (byte-exact; an empty needle
// is found everywhere).
bool ContainsText(const char* haystack, const char* needle);

// Writes `value` (0 to 9999) as four decimal digits with leading zeros into `dest`,
// which must hold at least 5 bytes. Returns false for values out of range.
bool FormatFourDigits(char* dest, size_t capacity, unsigned value);

}  // namespace vx
