#include "project/list/text_arena.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace mv {
namespace {

struct Block {
    char* data;
    size_t size;
};

Block Fill(TextArena& arena, size_t size, char mark) {
    Block block{arena.Allocate(size), size};
    std::memset(block.data, mark, size);
    return block;
}

bool Holds(const Block& block, char mark) {
    for (size_t i = 0; i < block.size; ++i) {
        if (block.data[i] != mark) {
            return false;
        }
    }
    return true;
}

TEST(TextArena, BlocksNeverOverlapAndKeepTheirBytes) {
    TextArena arena;
    std::vector<Block> blocks;
    blocks.reserve(5000);
    for (int i = 0; i < 5000; ++i) {
        blocks.push_back(Fill(arena, 1 + (i * 37) % 900, static_cast<char>(i)));
    }
    // Releasing every other block and allocating more leaves the rest alone.
    for (size_t i = 0; i < blocks.size(); i += 2) {
        arena.Release(blocks[i].data, blocks[i].size);
    }
    for (int i = 0; i < 3000; ++i) {
        Fill(arena, 700, 'z');
    }
    for (size_t i = 1; i < blocks.size(); i += 2) {
        ASSERT_TRUE(Holds(blocks[i], static_cast<char>(i))) << i;
    }
}

TEST(TextArena, RewritingEveryBlockOverAndOverStaysBounded) {
    // What a check run does to the rows: each result replaces the row's texts.
    TextArena arena;
    std::vector<Block> blocks;
    blocks.reserve(20000);
    for (int i = 0; i < 20000; ++i) {
        blocks.push_back(Fill(arena, 100, 'a'));
    }
    const size_t first = arena.Reserved();
    for (int round = 0; round < 10; ++round) {
        for (Block& block : blocks) {
            const Block fresh = Fill(arena, 100, 'b');
            arena.Release(block.data, block.size);
            block = fresh;
        }
    }
    EXPECT_LE(arena.Reserved(), 3 * first);
    for (const Block& block : blocks) {
        arena.Release(block.data, block.size);
    }
    EXPECT_LE(arena.Reserved(), size_t{2} * 1024 * 1024);  // at most the chunk being filled
}

TEST(TextArena, LargeBlocksComeFromTheHeap) {
    TextArena arena;
    const Block big = Fill(arena, size_t{3} * 1024 * 1024, 'L');
    const Block small = Fill(arena, 10, 's');
    EXPECT_TRUE(Holds(big, 'L'));
    arena.Release(big.data, big.size);
    EXPECT_TRUE(Holds(small, 's'));
    Fill(arena, size_t{1024} * 1024, 'M');  // left for ReleaseAll and the destructor
}

}  // namespace
}  // namespace mv
