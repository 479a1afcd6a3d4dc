// PIC pictures: the whole-picture reader, the row-by-row reader over every row, and writing back
// what was read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "render/pic_file.h"

using namespace vellimor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string error;
    if (std::unique_ptr<PicImage> picture = pic_decode(data, size, &error)) {
        // What was read must encode again and read back to the same size.
        std::vector<uint8_t> encoded = pic_encode(*picture);
        if (encoded.empty()) __builtin_trap();
        std::unique_ptr<PicImage> again = pic_decode(encoded.data(), encoded.size(), &error);
        if (!again || again->width != picture->width || again->height != picture->height) __builtin_trap();
    }
    PicRowReader reader;
    if (reader.open(data, size, &error)) {
        // Rows are cheap to decode even for huge stated sizes; a bounded number keeps runs short.
        const int rows = std::min<int>(reader.header().height, 4096);
        unsigned sum = 0;
        for (int y = 0; y < rows; ++y) {
            const PicRow &row = reader.next();
            for (const uint8_t *plane : row)
                if (plane) sum += plane[0] + plane[reader.header().width - 1];
        }
        (void)sum;
    }
    return 0;
}
