// Status output: the one way every subsystem reports progress, warnings and errors. Where a line
// goes depends on the run mode, the batch flag and whether the designer is up; every line is also
// appended to the message file.
#pragma once

namespace vellimor {

// Levels of status_message.
enum StatusLevel {
    kStatusError = 0,    // "ERROR: %s", beeps
    kStatusWarning = 1,  // "WARNING: %s", beeps
    kStatusPlain = 2,    // "%s"
    kStatusIndent = 3,   // "    %s"
    kStatusDebug = 4,    // "DEBUG: %s", never in the designer's browser
    kStatusBox = 5       // message box while the designer is up
};

void status_message(int level, const char *format, ...) __attribute__((format(printf, 2, 3)));
void status_line(const char *text);
void status_always(const char *text);
void status_debug(const char *text);
void status_warning(const char *text);
void status_error(const char *text);
void status_beep();
// ERROR lines written so far by this process: work that wrote one between two counts failed
// in part (a frame that lost hairs, for one).
int status_error_count();
// Forgets the last plain line and the last beep time (a fresh start; tests).
void status_reset();

// Progress of one long task in up to three weighted stages ("%d%%\r" on stderr without the
// designer when stderr is a terminal, nothing when it is a file or pipe, the designer's progress
// slider with the designer, nothing in the persistent run mode).
void progress_weights(float w1, float w2, float w3);
void progress_stage(int k, int total);
void progress_reset();
void progress_step(int i);
void progress_done();
// Decides whether stderr counts as a terminal for the percentages (tests; else it is asked).
void progress_assume_terminal(bool terminal);

}  // namespace vellimor
