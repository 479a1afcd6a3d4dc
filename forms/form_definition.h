// Building forms: begin/add/end sequences, groups, and removing objects and forms again.
#pragma once

#include "forms/object.h"

namespace vellimor {

// Makes a form of the given size and adds a background box of `boxtype` covering it; objects
// added until fm_end_form go into it.
FmForm *fm_bgn_form(int boxtype, float w, float h);
void fm_end_form();
// Reopens a form for more objects (ended again with fm_end_form).
void fm_addto_form(FmForm *form);
// The form being defined, or nullptr.
FmForm *fm_current_form();

// Group markers delimit radio groups. A group still open when a new one begins is ended first.
FmObject *fm_bgn_group();
FmObject *fm_end_group();

// Appends `obj` to `form`, which takes ownership; returns the object, or nullptr (and the object
// is destroyed) when there is no form.
FmObject *fm_add_object(FmForm *form, std::unique_ptr<FmObject> obj);
// Appends to the form being defined; what every class's add operation calls.
FmObject *fm_add_to_current_form(std::unique_ptr<FmObject> obj);

// Removes the object from its form and destroys it.
void fm_delete_object(FmObject *obj);
// Hides the form when it is shown and destroys it with its objects.
void fm_free_form(FmForm *form);

// The double-buffer flag new forms copy (1 by default).
void fm_set_double_buffer(bool on);

}  // namespace vellimor
