// Blocks of files read whole, kept for the next such read. Fresh memory
// costs a page fault a page, and on some machines far more than the read
// itself: a 4 MB frame without EXIF data took 14 ms into fresh pages and
// 0.2 ms into used ones. What is kept is bounded; the reader threads share
// it under its lock.
#ifndef EXIFCHECK_READ_SPARE_BLOCKS_H_
#define EXIFCHECK_READ_SPARE_BLOCKS_H_

#include <cstddef>
#include <memory>

namespace reading {

using Block = std::unique_ptr<unsigned char[]>;

/// A block of `size` bytes, not value-initialised: every byte is
/// overwritten by the read.
Block NewBlock(std::size_t size);

/// A block of at least `size` bytes, a spare one when one is large enough;
/// its capacity goes to `capacity`.
Block TakeBlock(std::size_t size, std::size_t* capacity);

/// Keeps `block` for a later TakeBlock when it is large enough to be worth
/// it and the spares have room; frees it otherwise.
void KeepBlock(Block block, std::size_t capacity);

}  // namespace reading

#endif  // EXIFCHECK_READ_SPARE_BLOCKS_H_
