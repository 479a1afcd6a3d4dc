// Draw mode 8 hands the hairs of a drawing to whatever takes them out of the system (the save
// plug-in's part): the curves export sets a writer, and every mode 8 drawing passes its hairs to
// it. Without a writer mode 8 writes nothing.
#pragma once

#include <functional>

#include "render/hair_geometry.h"

namespace vellimor {

// Receives one mode 8 drawing at a frame: drawing.strands and drawing.exports, one entry per
// drawn hair in surface order (surface_takes_part and surface_drawn_count in mode 8 say which
// surface each belongs to). Returns false when the hairs could not be written.
using HairExportWriter = std::function<bool(const HairDrawing &drawing, int frame)>;

// Installs `writer` for as long as the object lives; the previous one comes back after.
class ScopedHairExportWriter {
public:
    explicit ScopedHairExportWriter(HairExportWriter writer);
    ~ScopedHairExportWriter();
    ScopedHairExportWriter(const ScopedHairExportWriter &) = delete;
    ScopedHairExportWriter &operator=(const ScopedHairExportWriter &) = delete;

private:
    HairExportWriter previous_;
};

// Hands a finished mode 8 drawing to the installed writer. False when a writer failed.
bool write_hair_export(const HairDrawing &drawing, int frame);

}  // namespace vellimor
