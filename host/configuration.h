// Configuration from the environment: host and fur locations, the message file and the FUR_
// switches that override stored display settings and global limits.
#pragma once

#include <string>

namespace vellimor {

// Reads SI_LOCATION and FUR_LOCATION into config() and derives the resource path. Returns false
// when SI_LOCATION is unset; the stand-alone entry point then ends with a failure status.
bool read_locations();

// Opens "$TEMP/fur_message" for writing (truncated). Without TEMP or when the file can't be
// created there is no message file and its writes are skipped.
void open_message_file();
// Closes and forgets the message file: later status output skips it.
void close_message_file();
bool message_file_open();
// Appends the line and a line feed and flushes.
void message_file_write(const char *line);

// Applies the FUR_ switches over the current DisplaySettings (created if missing) and the
// configuration, printing their messages to stderr.
void read_fur_switches();

}  // namespace vellimor
