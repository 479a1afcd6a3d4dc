// The pop-up list a choice opens: a borderless form of entries, answered by a click.
#pragma once

#include <string>
#include <vector>

namespace vellimor {

constexpr float kFmPopupLineHeight = 20.0f;
constexpr float kFmPopupMargin = 2.0f;

// Shows the entries with the top-left corner at screen pixel (x, y) (origin upper left), marks
// entry `current` (from 1), and waits for a click: returns the entry clicked (from 1), or 0 when
// the click was outside or Escape was pressed. Other forms take no input meanwhile.
int fm_popup_menu(const std::vector<std::string> &entries, int current, int x, int y, float min_width);

}  // namespace vellimor
