// Named byte blocks kept with each model. A block remembers the byte order it was written in, so
// a reader on a machine of the other order is told to swap.
#include <bit>
#include <iterator>

#include "saa/host_state.h"

using namespace vellimor::saa;

namespace {

constexpr bool kMachineBigEndian = std::endian::native == std::endian::big;

}  // namespace

extern "C" int SAA_modelAllocUserData(const SAA_Scene *scene, const SAA_Elem *model, const char *name,
                                      int *size, short *swap_flag, void **data) {
    int status = SAA_OK;
    Model *m = model_of(scene, model, status);
    if (!m) return status;
    if (!name || !size || !swap_flag || !data) return fail(SAA_ERR_ARGUMENT, "null argument");
    return guarded([&]() -> int {
        auto it = m->user_data.find(name);
        if (it == m->user_data.end()) {
            *size = 0;
            *swap_flag = 0;
            *data = nullptr;
            return SAA_OK;
        }
        UserBlock &block = it->second;
        *size = static_cast<int>(block.bytes.size());
        *swap_flag = block.big_endian != kMachineBigEndian;
        *data = block.bytes.empty() ? nullptr : block.bytes.data();
        return SAA_OK;
    });
}

extern "C" int SAA_modelSetUserData(const SAA_Scene *scene, const SAA_Elem *model, const char *name, int size,
                                    int, const void *data) {
    int status = SAA_OK;
    Model *m = model_of(scene, model, status);
    if (!m) return status;
    if (!name || !*name) return fail(SAA_ERR_ARGUMENT, "user data needs a name");
    if (size < 0 || (size > 0 && !data)) return fail(SAA_ERR_ARGUMENT, "bad user data size");
    return guarded([&]() -> int {
        UserBlock block;
        const auto *bytes = static_cast<const std::uint8_t *>(data);
        block.bytes.assign(bytes, bytes + size);
        block.big_endian = kMachineBigEndian;
        m->user_data[name] = std::move(block);
        return SAA_OK;
    });
}

extern "C" int SAA_modelDestroyUserData(const SAA_Scene *scene, const SAA_Elem *model, const char *name) {
    int status = SAA_OK;
    Model *m = model_of(scene, model, status);
    if (!m) return status;
    if (!name) return fail(SAA_ERR_ARGUMENT, "user data needs a name");
    return guarded([&]() -> int {
        m->user_data.erase(name);  // removing an absent block is no failure: the result is the same
        return SAA_OK;
    });
}

// Host side: the model's blocks in name order, for listings and tests.
extern "C" int SAA_modelGetNbUserData(const SAA_Scene *scene, const SAA_Elem *model, int *count) {
    int status = SAA_OK;
    Model *m = model_of(scene, model, status);
    if (!m) return status;
    if (!count) return fail(SAA_ERR_ARGUMENT, "null count pointer");
    *count = static_cast<int>(m->user_data.size());
    return SAA_OK;
}

extern "C" int SAA_modelGetUserDataInfo(const SAA_Scene *scene, const SAA_Elem *model, int index, int max_length,
                                        char *name, int *size) {
    int status = SAA_OK;
    Model *m = model_of(scene, model, status);
    if (!m) return status;
    if (index < 0 || static_cast<std::size_t>(index) >= m->user_data.size() || !size)
        return fail(SAA_ERR_ARGUMENT, "user data index out of range");
    auto it = m->user_data.begin();
    std::advance(it, index);
    *size = static_cast<int>(it->second.bytes.size());
    return copy_text(it->first, max_length, name);
}

// Host side: stores a block as if a machine of the given order had written it (tests of the
// swap flag).
extern "C" int SAA_modelSetUserDataOrder(const SAA_Scene *scene, const SAA_Elem *model, const char *name,
                                         int big_endian) {
    int status = SAA_OK;
    Model *m = model_of(scene, model, status);
    if (!m) return status;
    if (!name) return fail(SAA_ERR_ARGUMENT, "user data needs a name");
    auto it = m->user_data.find(name);
    if (it == m->user_data.end()) return fail(SAA_ERR_NOT_FOUND, std::string("no user data ") + name);
    it->second.big_endian = big_endian != 0;
    return SAA_OK;
}
