#include <gtest/gtest.h>

#include "render/hair_point.h"

namespace vellimor {
namespace {

TEST(PointPool, ServesRequestsFromBlocksWithoutMovingPoints) {
    PointPool pool;
    HairPoint *first = pool.allocate(6);
    HairPoint *second = pool.allocate(6);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(second, first + 6);  // same block, consecutive
    EXPECT_EQ(pool.block_count(), 1u);

    // A request larger than the block size gets a block of its own size.
    HairPoint *big = pool.allocate(PointPool::kPointBlockSize + 5);
    ASSERT_NE(big, nullptr);
    big[PointPool::kPointBlockSize + 4].eye_distance = 1.0f;
    EXPECT_EQ(pool.block_count(), 2u);
    // That block is full: the next request opens a new one, earlier points stay put.
    first[0].eye_distance = 7.0f;
    HairPoint *after = pool.allocate(1);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(pool.block_count(), 3u);
    EXPECT_EQ(first[0].eye_distance, 7.0f);
    EXPECT_EQ(pool.allocated(), 12u + PointPool::kPointBlockSize + 5 + 1);

    pool.clear();
    EXPECT_EQ(pool.block_count(), 0u);
    EXPECT_EQ(pool.allocated(), 0u);
}

TEST(PointPool, FillsABlockExactlyBeforeOpeningTheNext) {
    PointPool pool;
    pool.allocate(PointPool::kPointBlockSize - 3);
    pool.allocate(3);
    EXPECT_EQ(pool.block_count(), 1u);
    pool.allocate(1);
    EXPECT_EQ(pool.block_count(), 2u);
}

}  // namespace
}  // namespace vellimor
