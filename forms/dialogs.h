// Ready-made modal dialogs. While one is up the other forms take no input. Without a display they
// answer at once: the first answer, "no", nothing.
#pragma once

#include <optional>
#include <string>

namespace vellimor {

// Up to three lines of text and `count` (1..3) labelled answers; returns the answer's number
// (1..count). Return picks the first answer; Escape and a window manager's close request pick
// answer `cancel` (the one that changes nothing).
int fm_show_choice(const char *line1, const char *line2, const char *line3, int count, const char *answer1,
                   const char *answer2, const char *answer3, int cancel = 1);
// "Yes" (1) or "No" (0); Escape answers "No".
int fm_show_question(const char *line1, const char *line2, const char *line3);
// Three lines and "Ok".
void fm_show_message(const char *line1, const char *line2, const char *line3);
// A prompt and an editable field; the text, or nothing on "Cancel" (or Escape).
std::optional<std::string> fm_show_input(const char *prompt, const char *default_text);
// The toolkit's name, version and author.
void fm_show_about();

}  // namespace vellimor
