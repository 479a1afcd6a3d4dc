// The pool of hair points, and sharing hair work among cores: every hair is grown exactly once
// whatever the worker count, the calling thread's polls can stop the work, and the workers'
// points join one pool.
#include <gtest/gtest.h>

#include <atomic>
#include <tuple>
#include <vector>

#include "render/hair_point.h"
#include "render/hair_workers.h"

namespace vellimor {
namespace {

TEST(HairWorkers, EveryItemIsWorkedOnceOnAnyNumberOfWorkers) {
    for (const int workers : {1, 2, 5}) {
        for (const size_t chunk : {size_t(1), size_t(7), size_t(1000)}) {
            std::vector<std::atomic<int>> seen(503);
            std::atomic<int> worker_ids_beyond{0};
            const bool done = for_each_chunk(
                seen.size(), chunk, workers,
                [&](int worker, size_t first, size_t end) {
                    if (worker >= workers) ++worker_ids_beyond;
                    for (size_t k = first; k < end; ++k) ++seen[k];
                },
                [](size_t) { return true; });
            EXPECT_TRUE(done);
            EXPECT_EQ(worker_ids_beyond.load(), 0);
            for (size_t k = 0; k < seen.size(); ++k)
                ASSERT_EQ(seen[k].load(), 1) << "item " << k << ", " << workers << " workers";
        }
    }
}

TEST(HairWorkers, APollThatSaysStopEndsTheHandingOut) {
    std::atomic<size_t> worked{0};
    int polls = 0;
    const bool done = for_each_chunk(
        100000, 10, 1, [&](int, size_t first, size_t end) { worked += end - first; },
        [&](size_t done_so_far) {
            ++polls;
            return done_so_far < 50;
        });
    EXPECT_FALSE(done);
    EXPECT_EQ(worked.load(), 50u);  // five chunks of ten, then the poll said stop
    EXPECT_EQ(polls, 6);
}

TEST(HairWorkers, AdoptedPointsStayWhereTheyAre) {
    PointPool mine, theirs;
    HairPoint *a = mine.allocate(10);
    HairPoint *b = theirs.allocate(20);
    a[9].eye_distance = 1.0f;
    b[19].eye_distance = 2.0f;
    mine.adopt(std::move(theirs));
    EXPECT_EQ(std::make_tuple(mine.allocated(), mine.block_count(), theirs.allocated()), std::make_tuple(30u, 2u, 0u));
    EXPECT_EQ(std::make_tuple(a[9].eye_distance, b[19].eye_distance), std::make_tuple(1.0f, 2.0f));
    // Later requests open a block of their own rather than write into an adopted one.
    HairPoint *c = mine.allocate(5);
    EXPECT_EQ(mine.block_count(), 3u);
    EXPECT_TRUE(c < b || c >= b + 20);
}

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
    EXPECT_EQ(std::make_tuple(pool.block_count(), pool.allocated()), std::make_tuple(0u, 0u));
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
