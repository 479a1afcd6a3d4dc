#include "host/status.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <string>

#include <unistd.h>

#include "furdata/display_settings.h"
#include "host/configuration.h"
#include "host/designer_link.h"
#include "host/globals.h"
#include "platform/beep.h"
#include "platform/clock.h"
#include "saa/saa.h"

namespace vellimor {
namespace {

constexpr size_t kMessageBuffer = 1024;  // formatted text, and the text with its prefix
constexpr size_t kPlainLineMax = 499;    // characters kept of a plain status line
constexpr size_t kPrefixedLineMax = 499;  // characters kept of "WARNING: %s" / "ERROR: %s"
constexpr long long kBeepIntervalMs = 250;
constexpr int kBrowserMaxLines = 5;  // more than this: the oldest line goes
constexpr float kReportsPerTask = 33.0f;

struct StatusState {
    std::string last_plain_line;
    std::optional<long long> last_beep_ms;
    int error_lines = 0;
};

StatusState &state() {
    static StatusState s;
    return s;
}

struct ProgressState {
    std::optional<bool> terminal;  // stderr is a terminal; asked once
    float fraction[3] = {1.0f, 0.0f, 0.0f};
    int interval = 0;
    int threshold = 0;
    float scale = 0.0f;
    float base = 0.0f;
};

ProgressState &progress() {
    static ProgressState p;
    return p;
}

const char *level_format(int level) {
    switch (level) {
    case kStatusError: return "ERROR: %s";
    case kStatusWarning: return "WARNING: %s";
    case kStatusIndent: return "    %s";
    case kStatusDebug: return "DEBUG: %s";
    default: return "%s";
    }
}

bool beeps_on_error() {
    const DisplaySettings *settings = display_settings();
    return designer_up() && settings && settings->beep_on_error;
}

int debug_level() {
    const DisplaySettings *settings = display_settings();
    return settings ? settings->debug_level : 1;
}

std::string truncated(const char *text, size_t max) {
    std::string s = text ? text : "";
    if (s.size() > max) s.resize(max);
    return s;
}

// Shows a plain line in the run mode's interactive target: the host status bar in the
// persistent mode, else the designer's message area when it is up.
void show_plain_line(const char *text) {
    if (run_state().run_mode == kRunModePersistent) {
        SAA_statusBarSet(text, 1);
        return;
    }
    if (!designer_up()) return;
    const DesignerOutput &out = designer_output();
    if (out.browser_line_count && out.browser_line_count() > kBrowserMaxLines &&
        out.browser_delete_first_line) {
        if (out.freeze_form) out.freeze_form();
        out.browser_delete_first_line();
        if (out.unfreeze_form) out.unfreeze_form();
    }
    if (out.browser_add_line) out.browser_add_line(text);
}

void status_prefixed(const char *format, const char *text) {
    char line[kPrefixedLineMax + 1];
    std::snprintf(line, sizeof line, format, text ? text : "");
    if (beeps_on_error()) status_beep();
    status_line(line);
}

// Percentages overwrite each other on a terminal; a log file gets none, so that it holds whole
// lines only (the status lines already mark every stage and frame).
bool progress_to_terminal() {
    std::optional<bool> &terminal = progress().terminal;
    if (!terminal) terminal = isatty(STDERR_FILENO) != 0;
    return *terminal;
}

void set_progress_slider(float fraction) {
    if (designer_up() && designer_output().set_progress) designer_output().set_progress(fraction);
}

}  // namespace

void status_message(int level, const char *format, ...) {
    char text[kMessageBuffer];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    va_end(args);
    char line[kMessageBuffer];
    std::snprintf(line, sizeof line, level_format(level), text);

    if (level == kStatusBox && designer_up()) {
        if (designer_output().message_box) designer_output().message_box(line);
        return;
    }
    if (level == kStatusError) ++state().error_lines;
    if ((level == kStatusError || level == kStatusWarning) && beeps_on_error()) status_beep();
    message_file_write(line);
    if (run_state().batch) {
        std::fprintf(stderr, "%s\n", line);
    } else if (!designer_up() && run_state().run_mode != kRunModeStandAlone) {
        SAA_statusBarSet(line, 1);
    } else if (designer_up() && level != kStatusDebug) {
        if (designer_output().browser_add_line) designer_output().browser_add_line(line);
    }
}

void status_line(const char *text) {
    const std::string line = truncated(text, kPlainLineMax);
    StatusState &s = state();
    if (line == s.last_plain_line) return;
    s.last_plain_line = line;
    message_file_write(line.c_str());
    show_plain_line(line.c_str());
}

void status_always(const char *text) {
    const std::string line = truncated(text, kPlainLineMax);
    if (debug_level() > 1) message_file_write(line.c_str());
    show_plain_line(line.c_str());
}

void status_debug(const char *text) {
    if (debug_level() > 2) status_line(text);
}

void status_warning(const char *text) { status_prefixed("WARNING: %s", text); }

void status_error(const char *text) {
    ++state().error_lines;
    status_prefixed("ERROR: %s", text);
}

int status_error_count() { return state().error_lines; }

void status_beep() {
    StatusState &s = state();
    const long long now = platform::milliseconds_since_start();
    if (s.last_beep_ms && now - *s.last_beep_ms <= kBeepIntervalMs) return;
    platform::beep();
    s.last_beep_ms = now;
}

void status_reset() { state() = StatusState{}; }

void progress_weights(float w1, float w2, float w3) {
    if (run_state().run_mode == kRunModePersistent) return;
    const float sum = w1 + w2 + w3;
    ProgressState &p = progress();
    const float weights[3] = {w1, w2, w3};
    for (int k = 0; k < 3; ++k) p.fraction[k] = sum != 0.0f ? weights[k] / sum : 0.0f;
    set_progress_slider(0.0f);
}

void progress_stage(int k, int total) {
    if (run_state().run_mode == kRunModePersistent) return;
    if (k < 1 || k > 3) return;
    ProgressState &p = progress();
    const float fraction = p.fraction[k - 1];
    // An empty stage or one without weight reports at every step instead of dividing by zero.
    const float steps_per_report = fraction * kReportsPerTask;
    const double interval = (total > 0 && steps_per_report > 0.0f)
                                ? std::trunc(static_cast<double>(total) / steps_per_report)
                                : 0.0;
    p.interval = interval > 1e9 ? 1000000000 : static_cast<int>(interval);
    p.threshold = 0;
    p.scale = total > 0 ? (1.0f / static_cast<float>(total)) * fraction : 0.0f;
    p.base = k == 1 ? 0.0f : k == 2 ? p.fraction[0] : p.fraction[0] + p.fraction[1];
}

void progress_reset() { progress().threshold = 0; }

void progress_assume_terminal(bool terminal) { progress().terminal = terminal; }

void progress_step(int i) {
    if (run_state().run_mode == kRunModePersistent) return;
    ProgressState &p = progress();
    if (i <= p.threshold) return;
    p.threshold += p.interval;
    const float done = static_cast<float>(i) * p.scale + p.base;
    if (!designer_up()) {
        if (progress_to_terminal())
            std::fprintf(stderr, "%d%%\r", static_cast<int>(std::trunc(done * 100.0f)));
    } else {
        set_progress_slider(done);
    }
}

void progress_done() {
    if (run_state().run_mode == kRunModePersistent) return;
    if (!designer_up()) {
        if (progress_to_terminal()) std::fprintf(stderr, "100%%\r");
    } else {
        set_progress_slider(0.0f);
    }
}

}  // namespace vellimor
