// How far two pictures of the same size differ, in the two measures that decide whether a faster
// drawing pictures the same frame: the mean absolute difference per channel, and the largest
// difference of a block's mean (blocks of 16 x 16 pixels) per channel.
#pragma once

#include <cstdint>
#include <span>

namespace vellimor {

constexpr int kDifferenceBlock = 16;
// The bounds a picture keeps to when it counts as the same as another (levels of 255).
constexpr double kEquivalentMeanDifference = 1.0;
constexpr double kEquivalentBlockDifference = 6.0;

struct PictureDifference {
    double mean[3] = {};        // R, G, B: mean absolute difference in levels
    double worst_block[3] = {};  // R, G, B: the largest difference of a block's means
    int worst_block_x = 0, worst_block_y = 0;  // the block with the largest of those, in pixels
    bool equivalent() const;
};

// Compares two RGBA pictures of width x height pixels (4 bytes a pixel, any row order as long as
// both share it). Blocks at the right and top edges are smaller when the size is no multiple of
// the block.
PictureDifference picture_difference(std::span<const uint8_t> a, std::span<const uint8_t> b, int width,
                                     int height);

}  // namespace vellimor
