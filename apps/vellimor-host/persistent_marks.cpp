#include "apps/vellimor-host/persistent_marks.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "apps/vellimor-host/commands.h"
#include "furdata/patch_data.h"
#include "furdata/record_codec.h"

namespace vellimor::host_driver {
namespace {

constexpr const char *kRecordBlock = "PatchData";
// Every stored layout of the fur record begins with its persistent rebuild mark, an int.
constexpr std::size_t kMarkSize = sizeof(std::int32_t);

std::vector<SAA_Elem> surfaces_of(const SAA_Scene &scene) {
    int count = 0;
    SAA_sceneGetNbModels(&scene, &count);
    std::vector<SAA_Elem> models(static_cast<std::size_t>(count > 0 ? count : 0));
    if (count > 0) SAA_sceneGetModels(&scene, count, models.data());
    std::vector<SAA_Elem> surfaces;
    for (const SAA_Elem &m : models) {
        int type = -1;
        if (SAA_modelGetType(&scene, &m, &type) == SAA_OK &&
            (type == SAA_MODEL_PATCH || type == SAA_MODEL_NURBS))
            surfaces.push_back(m);
    }
    return surfaces;
}

}  // namespace

struct PersistentMarks::Saved {
    struct Block {
        SAA_Elem model{};
        bool present = false;
        bool swapped = false;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Block> blocks;
};

PersistentMarks::PersistentMarks() : saved_(std::make_unique<Saved>()) {}
PersistentMarks::~PersistentMarks() = default;

bool PersistentMarks::mark_all(const SAA_Scene &scene) {
    for (const SAA_Elem &model : surfaces_of(scene)) {
        int size = 0;
        short swap = 0;
        void *data = nullptr;
        if (SAA_modelAllocUserData(&scene, &model, kRecordBlock, &size, &swap, &data) != SAA_OK) size = 0;
        Saved::Block saved{model, size > 0 && data, swap != 0, {}};
        std::vector<std::uint8_t> marked;
        if (saved.present) {
            const auto *bytes = static_cast<const std::uint8_t *>(data);
            saved.bytes.assign(bytes, bytes + size);
            marked = saved.bytes;
            // 1 in this machine's order is non-zero in the other order too.
            if (marked.size() >= kMarkSize) {
                const std::int32_t mark = 1;
                std::memcpy(marked.data(), &mark, kMarkSize);
            }
        } else {
            std::unique_ptr<PatchData> fresh = patch_new();
            fresh->presistant_rebuild = 1;
            marked = encode_patch_data(*fresh);
        }
        if (SAA_modelSetUserData(&scene, &model, kRecordBlock, static_cast<int>(marked.size()), 0,
                                 marked.data()) != SAA_OK) {
            report_error("cannot mark the surfaces for persistent rebuild");
            restore(scene);
            return false;
        }
        if (saved.swapped) SAA_modelSetUserDataOrder(&scene, &model, kRecordBlock, 1);
        saved_->blocks.push_back(std::move(saved));
    }
    return true;
}

void PersistentMarks::restore(const SAA_Scene &scene) {
    for (const Saved::Block &block : saved_->blocks) {
        if (!block.present) {
            SAA_modelDestroyUserData(&scene, &block.model, kRecordBlock);
            continue;
        }
        SAA_modelSetUserData(&scene, &block.model, kRecordBlock, static_cast<int>(block.bytes.size()), 0,
                             block.bytes.data());
        if (block.swapped) SAA_modelSetUserDataOrder(&scene, &block.model, kRecordBlock, 1);
    }
    saved_->blocks.clear();
}

}  // namespace vellimor::host_driver
