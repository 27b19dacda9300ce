// Text-mode reading and writing of the start-up files, as DOS and Windows text
// streams do it.
//
// Reading: a CR LF pair arrives as a single LF, a CR that no LF follows stays,
// and a Ctrl-Z (code 26) ends the text, so nothing after it is read. The text is
// delivered in pieces of at most 254 characters that stop after an LF: what a
// text-mode read into a buffer of 255 bytes gives. Writing: every LF goes out as
// CR LF; nothing else is changed or added.
//
// Both sides move the file in blocks of kFileBlockSize bytes, so a file of any
// size passes through the same fixed memory.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "startup_files/file_io.h"

namespace vx {

constexpr size_t kLinePieceLength = 254;
// A buffer that holds one piece and its terminating zero.
constexpr size_t kLinePieceCapacity = kLinePieceLength + 1;
constexpr size_t kFileBlockSize = 16384;

constexpr char kCtrlZ = 26;

struct LinePiece {
  // Characters in the piece. 0 only once the text has ended.
  size_t length = 0;
  // True when the piece ends its line: it ends with an LF, or the text ends
  // after it. A piece that does not end its line holds exactly
  // kLinePieceLength characters.
  bool endsLine = false;
};

class TextReader {
 public:
  // Reads `file`, which stays open and owned by the caller, from its start.
  TextReader(FileSystem& files, FileHandle file);

  // Reads the next piece into `dest` (kLinePieceCapacity bytes) and puts a zero
  // after it; a NUL byte of the file is part of the piece like any other. At the
  // end of the text, or after a read error, the result is {0, true}.
  LinePiece ReadPiece(char* dest);

  // True once a read of the file has failed; the text read so far is then short.
  bool Failed() const { return failed_; }

  // Where the next piece starts: a file offset for Rewind. Valid between pieces.
  uint64_t Position() const { return blockOffset_ + start_; }

  // Goes back to a Position() taken earlier, so that the same pieces are read
  // again. Usually the bytes are still in the block; otherwise the file is read
  // again from there. False (and Failed()) when that seek fails.
  bool Rewind(uint64_t position);

  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

 private:
  // Keeps the bytes not yet taken, moved to the start of the block, and reads
  // more behind them. False when nothing more came: the end of the file, or a
  // read error.
  bool Fill();
  // True when another byte can be looked at, reading more if the block is spent.
  bool HasByte();

  FileSystem& files_;
  FileHandle file_;
  uint64_t blockOffset_ = 0;  // file offset of block_[0]
  size_t start_ = 0;          // next byte to take
  size_t end_ = 0;            // bytes held in block_
  bool endOfFile_ = false;    // the file has no bytes after block_[end_ - 1]
  bool endOfText_ = false;    // a Ctrl-Z was taken, or the file ended
  bool failed_ = false;
  char block_[kFileBlockSize] = {};
};

class TextWriter {
 public:
  enum class Mode {
    kWrite,
    // Nothing is written: the bytes that would be are read from `file`, open
    // for reading at its start, and compared. This tells whether a file
    // written earlier holds the whole text, in the same fixed memory.
    kCompare,
  };

  // Writes to `file`, which stays open and owned by the caller.
  TextWriter(FileSystem& files, FileHandle file, Mode mode = Mode::kWrite);

  // Writes `length` bytes of `text`, each LF as CR LF. Does nothing once a write
  // has failed.
  void Write(const char* text, size_t length);

  // Writes out what is held. True when every byte given has been written; when
  // comparing, when the file held exactly the bytes given and no more.
  bool Finish();

  bool Failed() const { return failed_; }

  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

 private:
  void Drain();
  // Reads `size` bytes of the file and compares them with `expected`.
  bool ReadsAs(const char* expected, size_t size);

  FileSystem& files_;
  FileHandle file_;
  Mode mode_;
  size_t used_ = 0;
  bool failed_ = false;
  char buffer_[kFileBlockSize] = {};
};

}  // namespace vx
