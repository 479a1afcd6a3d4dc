// Marking every surface of a scene for persistent rebuild for the time of one run, the way the
// batch option -p does, by setting the mark in the fur records the scene stores.
#pragma once

#include <memory>

#include "saa/saa.h"

namespace vellimor::host_driver {

// The scene's fur record blocks as they were before marking; restore() puts them back.
class PersistentMarks {
public:
    PersistentMarks();
    ~PersistentMarks();
    PersistentMarks(const PersistentMarks &) = delete;
    PersistentMarks &operator=(const PersistentMarks &) = delete;

    // Marks every surface of the scene: a stored record gets its mark set, a surface without one
    // gets a default record with the mark. False after reporting when the host refuses a block;
    // the records are then as they were.
    bool mark_all(const SAA_Scene &scene);
    // The stored records as they were (blocks added by mark_all removed).
    void restore(const SAA_Scene &scene);

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

}  // namespace vellimor::host_driver
