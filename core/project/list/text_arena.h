// Memory for the packed texts of one recipient list. Blocks are cut in order
// from large chunks (growing to 2 MiB, backed by huge pages where the system
// allows), so a million rows cost a few dozen allocations and page faults
// instead of a million. Each chunk counts its live blocks and goes back to the
// system when the last one is released; blocks never move, so views of them
// stay valid until they are released. Blocks too big for a chunk come from the
// heap.
#pragma once

#include <cstddef>
#include <unordered_set>
#include <vector>

namespace mv {

class TextArena {
  public:
    TextArena() = default;
    ~TextArena();
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;

    // `size` bytes (size > 0); throws std::bad_alloc.
    char* Allocate(size_t size);
    // Gives back a block of `size` bytes from this arena (null is ignored).
    void Release(const char* block, size_t size) noexcept;
    // Gives back every block at once.
    void ReleaseAll() noexcept;

    // Bytes held from the system, for tests and benchmarks.
    size_t Reserved() const;

  private:
    struct Chunk {
        char* begin;
        char* end;
        size_t live;  // blocks not yet released
    };
    void NewChunk(size_t atLeast);
    void Unmap(const Chunk& chunk) noexcept;

    std::vector<Chunk> chunks_;  // sorted by address
    size_t current_ = 0;         // index of the chunk being filled
    char* next_ = nullptr;       // first free byte of the current chunk
    size_t nextChunkSize_ = 0;
    std::unordered_set<const char*> large_;  // blocks from the heap
};

}  // namespace mv
