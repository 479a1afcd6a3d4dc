// Encoding and decoding speed of PIC pictures: a rendered-looking frame (flat background, noisy
// hair region) at the usual video size.
#include <benchmark/benchmark.h>

#include <random>

#include "render/pic_file.h"

namespace {

std::unique_ptr<vellimor::PicImage> frame_picture() {
    auto picture = vellimor::pic_create(720, 486, true);
    std::mt19937 random(5);
    for (auto &plane : picture->planes)
        for (size_t i = 0; i < plane.size(); ++i) plane[i] = (i % 720) > 360 ? uint8_t(random()) : 20;
    return picture;
}

void BM_PicEncode(benchmark::State &state) {
    auto picture = frame_picture();
    for (auto _ : state) benchmark::DoNotOptimize(vellimor::pic_encode(*picture));
}
BENCHMARK(BM_PicEncode);

void BM_PicDecode(benchmark::State &state) {
    std::vector<uint8_t> file = vellimor::pic_encode(*frame_picture());
    for (auto _ : state) benchmark::DoNotOptimize(vellimor::pic_decode(file.data(), file.size()));
}
BENCHMARK(BM_PicDecode);

}  // namespace
