// The choice: shows its selected entry and offers all entries in a pop-up list when clicked.
#pragma once

#include "forms/object.h"

namespace vellimor {

constexpr int kFmChoiceMaxEntries = 128;
constexpr std::size_t kFmChoiceEntryMax = 64;

FmObject *fm_add_choice(int type, float x, float y, float w, float h, const char *label);
void fm_clear_choice(FmObject *obj);
// Appends one entry (cut to 64 characters); ignored when the choice holds 128 already.
void fm_addto_choice(FmObject *obj, const char *entry);
void fm_replace_choice(FmObject *obj, int n, const char *entry);
// Selects entry n (from 1); 0 selects none.
void fm_set_choice(FmObject *obj, int n);
int fm_get_choice(FmObject *obj);
// The text of the selected entry, or nullptr when none is selected.
const char *fm_get_choice_text(FmObject *obj);
int fm_get_choice_count(FmObject *obj);

}  // namespace vellimor
