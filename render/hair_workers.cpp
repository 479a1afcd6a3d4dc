#include "render/hair_workers.h"

#include <algorithm>
#include <thread>
#include <vector>

#include "host/globals.h"
#include "platform/processors.h"

namespace vellimor {

int hair_worker_count() {
    const Config &c = config();
    if (c.processors_given) return std::max(1, c.processors);
    return platform::available_processors();
}

bool for_each_chunk(std::size_t count, std::size_t chunk, int workers,
                    const std::function<void(int, std::size_t, std::size_t)> &work,
                    const std::function<bool(std::size_t)> &poll) {
    chunk = std::max<std::size_t>(1, chunk);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stopped{false};
    // Takes the next chunk; false when none is left or the work was stopped.
    auto take = [&](std::size_t &first, std::size_t &end) {
        if (stopped.load(std::memory_order_relaxed)) return false;
        first = next.fetch_add(chunk);
        if (first >= count) return false;
        end = std::min(count, first + chunk);
        return true;
    };
    const int helpers = int(std::min<std::size_t>(std::size_t(std::max(workers, 1)) - 1,
                                                  count / chunk));
    std::vector<std::thread> threads;
    threads.reserve(std::size_t(helpers));
    for (int w = 1; w <= helpers; ++w)
        threads.emplace_back([&, w] {
            std::size_t first, end;
            while (take(first, end)) work(w, first, end);
        });
    std::size_t first, end;
    while (true) {
        if (!poll(std::min(count, next.load()))) {
            stopped = true;
            break;
        }
        if (!take(first, end)) break;
        work(0, first, end);
    }
    for (std::thread &t : threads) t.join();
    return !stopped.load();
}

}  // namespace vellimor
