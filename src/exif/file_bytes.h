// The bytes of one file that the reader is given, and what it asks for when
// they are not enough. A frame is read a piece at a time, cold from a disk,
// so the reader names exactly the bytes it lacks instead of the whole file.
#ifndef EXIFCHECK_EXIF_FILE_BYTES_H_
#define EXIFCHECK_EXIF_FILE_BYTES_H_

#include <cstddef>
#include <cstdint>

/// `size` bytes of a file, from file position `offset` on.
struct FilePiece {
  uint32_t offset = 0;
  const unsigned char* data = nullptr;
  uint32_t size = 0;
};

/// The bytes of one file of `size` bytes that the reader is given: its first
/// `head_size` bytes at `head`, its last `tail_size` bytes at `tail` (often
/// none), and `piece_count` pieces from anywhere. A whole file is head and
/// tail at once.
struct FileBytes {
  const unsigned char* head = nullptr;
  uint32_t head_size = 0;
  const unsigned char* tail = nullptr;
  uint32_t tail_size = 0;
  uint32_t size = 0;
  const FilePiece* pieces = nullptr;
  size_t piece_count = 0;
};

/// The whole content of a file as FileBytes.
inline FileBytes WholeFile(const unsigned char* data, uint32_t size) {
  return FileBytes{data, size, data, size, size, nullptr, 0};
}

/// What the reader asks for when the bytes given do not settle its answer:
/// the tail, to find the last end marker; or else the bytes [from, to).
struct ByteRequest {
  bool end_marker = false;
  uint32_t from = 0;
  uint32_t to = 0;
};

/// The `size` bytes at file position `offset`, when one part of `f` holds
/// them all; null otherwise. `offset` + `size` must not pass f.size.
inline const unsigned char* bytes_at(const FileBytes& f, uint64_t offset, uint64_t size) {
  if (offset + size <= f.head_size) return f.head + offset;
  const uint64_t tail_start = f.size - f.tail_size;
  if (f.tail_size > 0 && offset >= tail_start) return f.tail + (offset - tail_start);
  for (size_t k = 0; k < f.piece_count; ++k) {
    const FilePiece& piece = f.pieces[k];
    if (offset >= piece.offset && offset + size <= uint64_t{piece.offset} + piece.size) {
      return piece.data + (offset - piece.offset);
    }
  }
  return nullptr;
}

#endif  // EXIFCHECK_EXIF_FILE_BYTES_H_
