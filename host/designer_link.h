// What the host connection needs of the designer while its windows are up: the message area,
// the message box, the progress slider and the patch list. The designer connects these when its
// windows exist and disconnects them when it closes; "designer up" means connected.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vellimor {

struct PatchListLine {
    std::string name;
    int patch = 0;  // index of the patch the line shows
    bool selected = false;
};

struct DesignerOutput {
    std::function<void(const char *text)> message_box;  // "Vellimor", the text, an empty line
    std::function<void(const char *line)> browser_add_line;
    std::function<int()> browser_line_count;
    std::function<void()> browser_delete_first_line;
    std::function<void()> freeze_form;
    std::function<void()> unfreeze_form;
    std::function<void(float fraction)> set_progress;
    std::function<void(const std::vector<PatchListLine> &lines)> show_patch_list;
    std::function<void()> refresh_controls;  // after fur data was fetched from a file
};

void designer_connect(DesignerOutput output);
void designer_disconnect();
bool designer_up();
// The connected designer's output; only valid while designer_up().
const DesignerOutput &designer_output();

}  // namespace vellimor
