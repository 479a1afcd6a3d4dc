// Fields of a stored binary block, read and written one by one at their offsets, in this
// machine's byte order or the reverse of it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace vellimor {

class StoredFieldWriter {
public:
    StoredFieldWriter(size_t size, bool swap) : bytes_(size, 0), swap_(swap) {}

    void put_i32(size_t offset, int32_t v) { put(offset, &v, sizeof v); }
    void put_u32(size_t offset, uint32_t v) { put(offset, &v, sizeof v); }
    void put_i16(size_t offset, int16_t v) { put(offset, &v, sizeof v); }
    void put_f32(size_t offset, float v) { put(offset, &v, sizeof v); }

    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    void put(size_t offset, const void *field, size_t size) {
        if (offset + size > bytes_.size()) return;
        uint8_t *at = bytes_.data() + offset;
        std::memcpy(at, field, size);
        if (swap_) std::reverse(at, at + size);
    }

    std::vector<uint8_t> bytes_;
    bool swap_;
};

// Reads fields of a block whose size the caller has checked; a field past its end reads as 0.
class StoredFieldReader {
public:
    StoredFieldReader(std::span<const uint8_t> bytes, bool swap) : bytes_(bytes), swap_(swap) {}

    int32_t i32(size_t offset) const { return get<int32_t>(offset); }
    uint32_t u32(size_t offset) const { return get<uint32_t>(offset); }
    int16_t i16(size_t offset) const { return get<int16_t>(offset); }
    float f32(size_t offset) const { return get<float>(offset); }

private:
    template <typename T>
    T get(size_t offset) const {
        if (offset + sizeof(T) > bytes_.size()) return T{};
        uint8_t raw[sizeof(T)];
        std::memcpy(raw, bytes_.data() + offset, sizeof raw);
        if (swap_) std::reverse(raw, raw + sizeof raw);
        T v;
        std::memcpy(&v, raw, sizeof v);
        return v;
    }

    std::span<const uint8_t> bytes_;
    bool swap_;
};

}  // namespace vellimor
