#include "render/picture_difference.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vellimor {

bool PictureDifference::equivalent() const {
    for (int c = 0; c < 3; ++c)
        if (mean[c] > kEquivalentMeanDifference || worst_block[c] > kEquivalentBlockDifference) return false;
    return true;
}

PictureDifference picture_difference(std::span<const uint8_t> a, std::span<const uint8_t> b, int width,
                                     int height) {
    PictureDifference d;
    const size_t pixels = size_t(std::max(width, 0)) * size_t(std::max(height, 0));
    if (pixels == 0 || a.size() < pixels * 4 || b.size() < pixels * 4) return d;
    double worst = -1.0;
    long long total[3] = {};
    for (int by = 0; by < height; by += kDifferenceBlock) {
        for (int bx = 0; bx < width; bx += kDifferenceBlock) {
            long long block[3] = {};  // signed sum of the differences in the block
            const int x_end = std::min(width, bx + kDifferenceBlock), y_end = std::min(height, by + kDifferenceBlock);
            for (int y = by; y < y_end; ++y)
                for (int x = bx; x < x_end; ++x) {
                    const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 4;
                    for (int c = 0; c < 3; ++c) {
                        const int delta = int(a[i + size_t(c)]) - int(b[i + size_t(c)]);
                        block[c] += delta;
                        total[c] += std::abs(delta);
                    }
                }
            const double count = double(x_end - bx) * double(y_end - by);
            for (int c = 0; c < 3; ++c) {
                const double difference = std::fabs(double(block[c])) / count;
                d.worst_block[c] = std::max(d.worst_block[c], difference);
                if (difference > worst) {
                    worst = difference;
                    d.worst_block_x = bx;
                    d.worst_block_y = by;
                }
            }
        }
    }
    for (int c = 0; c < 3; ++c) d.mean[c] = double(total[c]) / double(pixels);
    return d;
}

}  // namespace vellimor
