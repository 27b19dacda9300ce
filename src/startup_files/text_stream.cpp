#include "startup_files/text_stream.h"

namespace vx {

TextReader::TextReader(FileSystem& files, FileHandle file) : files_(files), file_(file) {}

bool TextReader::Fill() {
  if (endOfFile_ || failed_) return false;
  // At most the one CR that waits for its LF is kept, so there is always room.
  const size_t kept = end_ - start_;
  for (size_t i = 0; i < kept; ++i) block_[i] = block_[start_ + i];
  blockOffset_ += start_;
  start_ = 0;
  end_ = kept;
  size_t count = 0;
  if (!files_.Read(file_, block_ + end_, kFileBlockSize - end_, &count)) {
    failed_ = true;
    return false;
  }
  if (count == 0) {
    endOfFile_ = true;
    return false;
  }
  end_ += count;
  return true;
}

bool TextReader::HasByte() { return start_ < end_ || Fill(); }

LinePiece TextReader::ReadPiece(char* dest) {
  LinePiece piece = {0, false};
  while (!endOfText_ && piece.length < kLinePieceLength) {
    if (!HasByte() || block_[start_] == kCtrlZ) {
      endOfText_ = true;
      break;
    }
    const char c = block_[start_++];
    // The CR of a CR LF pair is dropped; its LF is taken on the next round. The
    // LF may lie in the next block, which HasByte reads in.
    if (c == '\r' && HasByte() && block_[start_] == '\n') continue;
    dest[piece.length++] = c;
    if (c == '\n') {
      piece.endsLine = true;
      break;
    }
  }
  if (endOfText_) {
    piece.endsLine = true;
  } else if (!piece.endsLine) {
    // A full piece without an LF: the line goes on unless the text ends here.
    piece.endsLine = !HasByte() || block_[start_] == kCtrlZ;
  }
  dest[piece.length] = '\0';
  return piece;
}

bool TextReader::Rewind(uint64_t position) {
  if (failed_) return false;
  // Whatever ended the text lies after `position` and is met again.
  endOfText_ = false;
  if (position >= blockOffset_ && position <= blockOffset_ + end_) {
    start_ = static_cast<size_t>(position - blockOffset_);
    return true;
  }
  if (!files_.Seek(file_, position)) {
    failed_ = true;
    return false;
  }
  blockOffset_ = position;
  start_ = 0;
  end_ = 0;
  endOfFile_ = false;
  return true;
}

TextWriter::TextWriter(FileSystem& files, FileHandle file, Mode mode) : files_(files), file_(file), mode_(mode) {}

void TextWriter::Write(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (used_ + 2 > kFileBlockSize) Drain();
    if (failed_) return;
    if (text[i] == '\n') buffer_[used_++] = '\r';
    buffer_[used_++] = text[i];
  }
}

bool TextWriter::ReadsAs(const char* expected, size_t size) {
  char block[1024];
  while (size != 0) {
    size_t count = 0;
    if (!files_.Read(file_, block, size < sizeof block ? size : sizeof block, &count) || count == 0) return false;
    for (size_t i = 0; i < count; ++i) {
      if (block[i] != expected[i]) return false;
    }
    expected += count;
    size -= count;
  }
  return true;
}

void TextWriter::Drain() {
  if (used_ != 0 && !failed_) {
    failed_ = mode_ == Mode::kWrite ? !files_.Write(file_, buffer_, used_) : !ReadsAs(buffer_, used_);
  }
  used_ = 0;
}

bool TextWriter::Finish() {
  Drain();
  if (mode_ == Mode::kCompare && !failed_) {
    // The file must end where the text does.
    char extra = 0;
    size_t count = 0;
    failed_ = !files_.Read(file_, &extra, 1, &count) || count != 0;
  }
  return !failed_;
}

}  // namespace vx
