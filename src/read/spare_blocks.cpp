// The spare blocks, one bounded list under one lock.
#include "read/spare_blocks.h"

#include <new>
#include <utility>
#include <vector>

#include "read/mutex.h"

namespace reading {

namespace {

constexpr std::size_t kSpareBytes = 64u << 20;
// Below this, fresh pages cost less than keeping blocks costs.
constexpr std::size_t kSmallestSpare = 1u << 20;

struct SpareBlocks {
  Mutex lock;
  std::vector<std::pair<Block, std::size_t>> blocks GUARDED_BY(lock);  // with their capacities
  std::size_t bytes GUARDED_BY(lock) = 0;
};

SpareBlocks& Spares() {
  static SpareBlocks spares;
  return spares;
}

}  // namespace

Block NewBlock(std::size_t size) { return Block(new unsigned char[size == 0 ? 1 : size]); }

Block TakeBlock(std::size_t size, std::size_t* capacity) {
  SpareBlocks& spares = Spares();
  {
    MutexLock held(&spares.lock);
    for (auto it = spares.blocks.begin(); it != spares.blocks.end(); ++it) {
      if (it->second < size) continue;
      Block block = std::move(it->first);
      *capacity = it->second;
      spares.bytes -= it->second;
      spares.blocks.erase(it);
      return block;
    }
  }
  *capacity = size;
  return NewBlock(size);
}

void KeepBlock(Block block, std::size_t capacity) {
  SpareBlocks& spares = Spares();
  MutexLock held(&spares.lock);
  if (capacity < kSmallestSpare || spares.bytes + capacity > kSpareBytes) return;  // freed here
  try {
    spares.blocks.emplace_back(std::move(block), capacity);
    spares.bytes += capacity;
  } catch (const std::bad_alloc&) {
    // Called as a read's parts go: the block is simply freed.
  }
}

}  // namespace reading
