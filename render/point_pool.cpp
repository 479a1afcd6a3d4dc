#include <algorithm>
#include <new>

#include "render/hair_point.h"

namespace vellimor {

HairPoint *PointPool::allocate(std::size_t k) {
    if (k > room_) {
        const std::size_t size = std::max(kPointBlockSize, k);
        std::unique_ptr<HairPoint[]> block(new (std::nothrow) HairPoint[size]);
        if (!block) return nullptr;
        next_free_ = block.get();
        room_ = size;
        blocks_.push_back(std::move(block));
    }
    HairPoint *points = next_free_;
    next_free_ += k;
    room_ -= k;
    allocated_ += k;
    return points;
}

void PointPool::adopt(PointPool &&other) {
    for (auto &block : other.blocks_) blocks_.push_back(std::move(block));
    allocated_ += other.allocated_;
    room_ = 0;
    next_free_ = nullptr;
    other.clear();
}

void PointPool::clear() {
    blocks_.clear();
    room_ = 0;
    next_free_ = nullptr;
    allocated_ = 0;
}

}  // namespace vellimor
