// Status lines of a test, read back from the message file every line is written to.
#pragma once

#include <string>

#include "host/configuration.h"
#include "host/globals.h"
#include "host/status.h"
#include "support/test_env.h"

namespace vellimor::test {

class MessageLog {
public:
    MessageLog() {
        status_reset();
        env_.set("TEMP", dir_.path());
        open_message_file();
    }
    ~MessageLog() { close_message_file(); }
    std::string text() const { return read_file(dir_.path() + "/fur_message"); }
    bool has(const std::string &line) const { return text().find(line + "\n") != std::string::npos; }

private:
    TempDir dir_;
    ScopedEnv env_;
};

}  // namespace vellimor::test
