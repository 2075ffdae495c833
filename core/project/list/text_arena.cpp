#include "project/list/text_arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>

// Under AddressSanitizer the bytes of a chunk that belong to no live block
// are poisoned, so a read past a block is caught as it would be on the heap.
#if defined(__SANITIZE_ADDRESS__)
#define MV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MV_ASAN 1
#endif
#endif
#ifdef MV_ASAN
#include <sanitizer/asan_interface.h>
#define MV_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define MV_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define MV_POISON(p, n) ((void)(p), (void)(n))
#define MV_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace mv {

namespace {

constexpr size_t kFirstChunk = size_t{64} * 1024;
constexpr size_t kHugeChunk = size_t{2} * 1024 * 1024;  // one huge page
constexpr size_t kLargeBlock = kHugeChunk / 4;

char* Map(size_t size) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        throw std::bad_alloc();
    }
    return static_cast<char*>(p);
}

// A chunk of one huge page: mapped with room to spare, trimmed to a 2 MiB
// boundary, and marked for huge pages (a hint the system may ignore).
char* MapHuge() {
    char* raw = Map(2 * kHugeChunk);
    const auto address = reinterpret_cast<uintptr_t>(raw);
    char* aligned = raw + ((kHugeChunk - address % kHugeChunk) % kHugeChunk);
    if (aligned > raw) {
        ::munmap(raw, static_cast<size_t>(aligned - raw));
    }
    char* tail = aligned + kHugeChunk;
    ::munmap(tail, static_cast<size_t>(raw + 2 * kHugeChunk - tail));
    (void)::madvise(aligned, kHugeChunk, MADV_HUGEPAGE);
    return aligned;
}

}  // namespace

TextArena::~TextArena() {
    ReleaseAll();
}

char* TextArena::Allocate(size_t size) {
    if (size > kLargeBlock) {
        char* block = new char[size];
        large_.insert(block);
        return block;
    }
    if (chunks_.empty() || next_ + size > chunks_[current_].end) {
        NewChunk(size);
    }
    char* block = next_;
    next_ += size;
    ++chunks_[current_].live;
    MV_UNPOISON(block, size);
    return block;
}

void TextArena::NewChunk(size_t atLeast) {
    nextChunkSize_ = std::clamp(nextChunkSize_ * 2, kFirstChunk, kHugeChunk);
    const size_t size = std::max(nextChunkSize_, atLeast);
    char* begin = size == kHugeChunk ? MapHuge() : Map(size);
    // A chunk left behind with nothing live in it is not needed any more.
    if (!chunks_.empty() && chunks_[current_].live == 0) {
        Unmap(chunks_[current_]);
        chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(current_));
    }
    const Chunk chunk{begin, begin + size, 0};
    const auto at =
        std::upper_bound(chunks_.begin(), chunks_.end(), chunk,
                         [](const Chunk& a, const Chunk& b) { return a.begin < b.begin; });
    current_ = static_cast<size_t>(at - chunks_.begin());
    chunks_.insert(at, chunk);
    next_ = begin;
    MV_POISON(begin, size);
}

void TextArena::Release(const char* block, size_t size) noexcept {
    if (block == nullptr) {
        return;
    }
    const auto after = std::upper_bound(chunks_.begin(), chunks_.end(), block,
                                        [](const char* p, const Chunk& c) { return p < c.begin; });
    if (after == chunks_.begin() || block >= std::prev(after)->end) {
        if (large_.erase(block) > 0) {
            delete[] block;
        }
        return;
    }
    const auto chunk = std::prev(after);
    MV_POISON(block, size);
    if (--chunk->live > 0) {
        return;
    }
    const auto index = static_cast<size_t>(chunk - chunks_.begin());
    if (index == current_) {
        next_ = chunk->begin;  // empty again: fill it from the start
        return;
    }
    Unmap(*chunk);
    chunks_.erase(chunk);
    if (index < current_) {
        --current_;
    }
}

void TextArena::ReleaseAll() noexcept {
    for (const Chunk& chunk : chunks_) {
        Unmap(chunk);
    }
    chunks_.clear();
    current_ = 0;
    next_ = nullptr;
    nextChunkSize_ = 0;
    for (const char* block : large_) {
        delete[] block;
    }
    large_.clear();
}

void TextArena::Unmap(const Chunk& chunk) noexcept {
    MV_UNPOISON(chunk.begin, static_cast<size_t>(chunk.end - chunk.begin));
    ::munmap(chunk.begin, static_cast<size_t>(chunk.end - chunk.begin));
}

size_t TextArena::Reserved() const {
    size_t total = 0;
    for (const Chunk& chunk : chunks_) {
        total += static_cast<size_t>(chunk.end - chunk.begin);
    }
    return total;
}

}  // namespace mv
