#include "render/polygon_sort.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <system_error>
#include <utility>

#include "hair/random_generators.h"
#include "host/status.h"

namespace vellimor {

// A polygon as the sort sees it: its key beside its place in the list, so the partition loops
// stream through 8-byte entries instead of reading a cache line per polygon.
struct SortEntry {
    float key;
    uint32_t polygon;
};

namespace {

// Hoare's quicksort, farthest first, pivots from the process-wide generator drawn in the same
// order as ever (the left part is finished before the right one starts), so equal keys end up
// in the same places and the generator is left in the same state. As the parts finish, the
// entries before `end` are in their final places: finished(end) is told so, `end` growing.
template <class Finished>
void sort_entries(SortEntry *entries, long first, long last, Finished &finished) {
    while (first < last) {
        const long pivot_index =
            first + long(double(standard_rand()) * double(last - first) / double(kRandom15Max));
        const float pivot = entries[pivot_index].key;
        long i = first;
        long j = last;
        do {
            while (entries[j].key < pivot) --j;
            while (entries[i].key > pivot) ++i;
            if (i <= j) {
                std::swap(entries[i], entries[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        sort_entries(entries, first, j, finished);
        finished(i);  // the left part, and the pivot's equals between the parts
        first = i;    // the right part, as a loop: the same calls in the same order
    }
    finished(last + 1);
}

// The keys and places of list[first..first + count).
void load_entries(const PolygonList &list, size_t first, size_t count, SortEntry *entries) {
    for (size_t k = 0; k < count; ++k) entries[k] = {list[first + k]->eye_distance, uint32_t(k)};
}

// Polygons the background sort finishes between two reports to a waiting drawing.
constexpr size_t kReportEvery = 8192;

BackgroundDepthSort *&running_sort() {
    static BackgroundDepthSort *sort = nullptr;
    return sort;
}

}  // namespace

bool build_polygon_list(std::vector<HairStrand> &strands, long polygon_count, PolygonList &list) {
    list.clear();
    try {
        list.reserve(size_t(polygon_count > 0 ? polygon_count : 0));
    } catch (const std::bad_alloc &) {
        status_message(kStatusError, "Can't allocate more memory, draw2");
        return false;
    }
    for (HairStrand &strand : strands) {
        for (int i = 0; i < strand.segments; ++i) {
            HairPoint *point = &strand.points[i];
            point->next = point + 1;
            if (list.size() == list.capacity()) break;  // never more than the count promised
            list.push_back(point);
        }
    }
    return true;
}

void sort_polygons(PolygonList &list, long first, long last) {
    if (first < 0) first = 0;
    if (last >= long(list.size())) last = long(list.size()) - 1;
    if (first >= last) return;
    const size_t count = size_t(last - first + 1);
    std::vector<SortEntry> entries;
    PolygonList sorted;
    try {
        entries.resize(count);
        sorted.resize(count);
    } catch (const std::bad_alloc &) {
        status_message(kStatusError, "Can't allocate more memory, draw2");
        return;
    }
    load_entries(list, size_t(first), count, entries.data());
    auto nothing_to_tell = [](long) {};
    sort_entries(entries.data(), 0, long(count) - 1, nothing_to_tell);
    for (size_t k = 0; k < count; ++k) sorted[k] = list[size_t(first) + entries[k].polygon];
    std::copy(sorted.begin(), sorted.end(), list.begin() + first);
}

BackgroundDepthSort::BackgroundDepthSort(PolygonList &list) : list_(list) {
    if (list.size() < 2) {
        sorted_ = list.size();
        return;
    }
    try {
        entries_.resize(list.size());
        unsorted_ = list;
    } catch (const std::bad_alloc &) {
        status_message(kStatusError, "Can't allocate more memory, draw2");
        sorted_ = list.size();  // drawn as it stands
        return;
    }
    try {
        thread_ = std::thread([this] { sort(); });
    } catch (const std::system_error &) {
        sort();  // no thread to be had: sorted here and now
        return;
    }
    running_sort() = this;
}

BackgroundDepthSort::~BackgroundDepthSort() {
    if (thread_.joinable()) thread_.join();
    if (running_sort() == this) running_sort() = nullptr;
}

void BackgroundDepthSort::sort() {
    load_entries(unsorted_, 0, unsorted_.size(), entries_.data());
    size_t placed = 0;  // list_[0..placed) hold their final polygons
    auto finished = [&](long end) {
        const size_t until = std::min(size_t(end), list_.size());
        for (; placed < until; ++placed) list_[placed] = unsorted_[entries_[placed].polygon];
        if (placed == list_.size() || placed >= sorted_.load(std::memory_order_relaxed) + kReportEvery) {
            sorted_.store(placed, std::memory_order_release);
            sorted_.notify_all();
        }
    };
    sort_entries(entries_.data(), 0, long(entries_.size()) - 1, finished);
}

void BackgroundDepthSort::wait_until(size_t count) const {
    count = std::min(count, list_.size());
    for (size_t now = sorted_.load(std::memory_order_acquire); now < count;
         now = sorted_.load(std::memory_order_acquire))
        sorted_.wait(now, std::memory_order_acquire);
}

void wait_until_sorted(const PolygonList &list, size_t count) {
    const BackgroundDepthSort *sort = running_sort();
    if (sort && sort->sorts(list)) sort->wait_until(count);
}

}  // namespace vellimor
