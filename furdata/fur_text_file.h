// The fur settings text file: a line-oriented form of the fur records, used for the designer's
// automatic backups (hold files) and for saving and loading one surface's settings.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "furdata/patch_data.h"

namespace vellimor {

// The OBJECT block of one record, as the file holds it.
std::string object_text(const PatchData &record);
// Writes the OBJECT block of patch i to an open file.
void write_object(std::FILE *file, int i);
// The automatic backup of every record into the hold file of the scene. Returns 1 when written,
// 0 when backups are off or the file can't be written (reported the first time only). The file
// is replaced whole or left as it was.
int write_hold_file();
// Forgets that a hold file could not be written (a fresh library load; tests).
void hold_file_reset();

// A setting the reader passed over: a key it does not know, or a value that is not a number.
struct FurTextNotice {
    int line = 0;       // counted from 1
    std::string key;
    std::string value;  // the value that is not a number; empty for an unknown key
};

// What reading a settings file did.
struct FetchOutcome {
    bool ok = false;     // false: the file can't be opened, a malformed line at the top level, or
                         // an OBJECT without texture keys
    int objects = 0;     // OBJECT blocks read into the record
    int errors = 0;      // errors reported while reading
    bool finished = false;  // the file was read to its end or to a malformed top-level line
    std::vector<FurTextNotice> notices;  // in the objects read, in file order
};

// Reads into *slot every OBJECT block whose name equals the record's name (every block with
// any_name), each starting from a new record that keeps the name and the host geometry.
// after_object runs after each block (the scene's rebuild steps). The wind groups' fcurve_id
// settings are read only with curve_links, when the curves they name came from the same file.
FetchOutcome fetch_into_record(std::unique_ptr<PatchData> &slot, const std::string &path,
                               int any_name, const std::function<void()> &after_object = {},
                               bool curve_links = false);

// Reads patch i's settings from a file, rebuilds its hairs and the shadows. With any_name 0 only
// an object named like the patch is taken; with 1 every object.
bool fetch_fur_data(int i, const char *path, int any_name, bool curve_links = false);
// Restart from a hold file: the function curves it holds replace the list, then
// fetch_fur_data(i, path, 0) for every patch in table order.
void fetch_all(const char *path);

}  // namespace vellimor
