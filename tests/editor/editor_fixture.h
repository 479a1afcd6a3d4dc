// A scene table of fur records without a host scene, and the designer's message area and message
// box caught as text, for the editor tests that need no window.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/color_commands.h"
#include "editor/keymap_commands.h"
#include "furdata/display_settings.h"
#include "host/designer_link.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor::test {

class EditorRecords : public testing::Test {
protected:
    void SetUp() override {
        reset_globals();
        status_reset();
        display_settings_create().beep_on_error = 0;
        scene_state().patches.clear();
        scene_state().models.clear();
        scene_state().current_patch = -1;
        scene_state().current_frame = 1;
        DesignerOutput out;
        out.message_box = [this](const char *text) { boxes.push_back(text); };
        out.browser_add_line = [this](const char *line) { lines.push_back(line); };
        out.browser_line_count = [this] { return int(lines.size()); };
        out.browser_delete_first_line = [] {};
        designer_connect(out);
        keymap_forget_copied_object();
        color_forget_copied();
    }
    void TearDown() override {
        designer_disconnect();
        scene_state().patches.clear();
        scene_state().models.clear();
        scene_state().current_patch = -1;
        display_settings_free();
        reset_globals();
    }

    // Adds a surface with a new record; selected ones become current in table order.
    PatchData &add_surface(const char *name, bool selected) {
        auto record = patch_new();
        record->name = name;
        record->surfacetype = 10;
        record->nbPointsU = 4.0f;
        record->nbPointsV = 3.0f;
        record->is_selected = selected ? 1 : 0;
        scene_state().patches.push_back(std::move(record));
        scene_state().models.emplace_back();
        if (selected && scene_state().current_patch < 0)
            scene_state().current_patch = int(scene_state().patches.size()) - 1;
        return *scene_state().patches.back();
    }

    bool said(const std::string &line) const {
        for (const std::string &l : lines)
            if (l == line) return true;
        return false;
    }
    void forget_lines() {
        lines.clear();
        boxes.clear();
        status_reset();
    }

    std::vector<std::string> lines;
    std::vector<std::string> boxes;
};

}  // namespace vellimor::test
