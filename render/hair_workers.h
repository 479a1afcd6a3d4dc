// The cores that grow and shade hairs. Every hair has its own random stream and its shading
// depends on that hair alone, so hairs may be grown on any core in any order: the points, and
// so the pictures, are the same whatever the number of workers.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

namespace vellimor {

// Workers for hair work: FUR_MAX_PROC when it is set, else every core the process may use.
int hair_worker_count();

// Runs work(worker, first, end) over [0, count) in chunks of `chunk` items on `workers` threads
// (the calling thread is worker 0). Between its chunks the calling thread runs poll(done), where
// done is the number of items handed out so far; poll returning false stops the handing out of
// further chunks. Returns false when poll stopped it.
bool for_each_chunk(std::size_t count, std::size_t chunk, int workers,
                    const std::function<void(int worker, std::size_t first, std::size_t end)> &work,
                    const std::function<bool(std::size_t done)> &poll);

}  // namespace vellimor
