#include "render/hair_export.h"

#include <utility>

namespace vellimor {
namespace {

HairExportWriter &installed_writer() {
    static HairExportWriter writer;
    return writer;
}

}  // namespace

ScopedHairExportWriter::ScopedHairExportWriter(HairExportWriter writer)
    : previous_(std::exchange(installed_writer(), std::move(writer))) {}

ScopedHairExportWriter::~ScopedHairExportWriter() { installed_writer() = std::move(previous_); }

bool write_hair_export(const HairDrawing &drawing, int frame) {
    const HairExportWriter &writer = installed_writer();
    return !writer || writer(drawing, frame);
}

}  // namespace vellimor
