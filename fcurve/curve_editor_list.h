// The curve editor's list of parameter groups: which groups of the selected surfaces can be
// animated, which have a curve ("*" in front), which are shown, and the "Animate" and "Static"
// operations on the chosen lines.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vellimor {

struct Herm;

enum class CurveListSource { kTexture, kDynamics };

// The patch-level ("Dynamics") groups in list order.
enum class PatchGroup {
    kVelocity, kAcceleration, kWindColor, kWindLength, kWindWave, kWindGravity, kWindDir,
    kWindBend, kWindAcc, kWindVel, kWindFrequency, kWindSpeed, kWindMultSpeed
};
constexpr int kPatchGroupCount = 13;

// One line of the list. It names its group by position (surface, key number, channel) so that it
// never outlives the records it stands for; resolve_curve_group finds the group again.
struct CurveListEntry {
    std::string text;         // without the "*" mark
    int type = 1;             // components of the group
    int used_components = 0;  // 0: all get a curve; else the leading ones that do
    int kind = 0;             // 0 texture key group, 1 patch-level group
    int patch = 0;
    int key_number = 0;       // kind 0: the key's position in the list, from 1
    int channel = 0;          // kind 0: channel index (0 colour .. 7 density)
    int color_type = 0;       // kind 0, colour channel
    int color_index = 0;
    PatchGroup group = PatchGroup::kVelocity;  // kind 1
};

// A parameter group as the curve operations see it.
struct CurveGroupRef {
    int *active = nullptr;
    float *values[4] = {};
    int count = 0;
    int *fcurve_id = nullptr;
    int *key_selected = nullptr;  // kind 0: the key's selected flag

    void read(float *out) const;
};

// What the Texture list shows: the current channel and, for colour, the current colour type
// and colour key index.
struct CurveListChannel {
    int channel = 1;
    int color_type = 0;
    int color_index = 0;
};

// The lines for every selected surface, in surface order.
std::vector<CurveListEntry> curve_list_entries(CurveListSource source, const CurveListChannel &channel);
std::optional<CurveGroupRef> resolve_curve_group(const CurveListEntry &entry);
// Whether the line's group has a curve in the curve list.
bool entry_has_curve(const CurveListEntry &entry);
// "*text" for a line with a curve, else the text.
std::string entry_line_text(const CurveListEntry &entry);

// The display list holds at most this many component curves.
constexpr size_t kMaxDisplayedCurves = 1024;

// Component curves to draw: of each shown line whose group has a curve, every used component.
std::vector<Herm *> collect_displayed_curves(const std::vector<CurveListEntry> &entries,
                                             const std::vector<bool> &shown);

// "Animate": a curve for every chosen line whose group has none, keyed at `first_frame` with the
// group's values; components from used_components on are switched off, patch-level groups get
// their limits. Returns how many curves were made.
int animate_entries(const std::vector<CurveListEntry> &entries, const std::vector<bool> &chosen,
                    int first_frame);
// "Static": the curves of the chosen lines are deleted; the groups keep their last values.
int make_entries_static(const std::vector<CurveListEntry> &entries, const std::vector<bool> &chosen);

}  // namespace vellimor
