#include "host/command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "host/globals.h"

namespace vellimor {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

struct Parsed {
    ParseResult result;
    CommandLine line;
    std::string messages;
};

Parsed parse(std::vector<const char *> args) {
    args.insert(args.begin(), "vellimor");
    Parsed p;
    CaptureStderr();
    p.result = parse_command_line(static_cast<int>(args.size()), args.data(), p.line);
    p.messages = GetCapturedStderr();
    return p;
}

TEST(CommandLine, NumbersReadFromTheirLeadingDigits) {
    const Parsed p = parse({"-n", "12abc", "x", "-3", "-j", "9", "-A", "junk"});
    ASSERT_EQ(p.result, ParseResult::Ok);
    EXPECT_EQ(p.line.start, 12);
    EXPECT_EQ(p.line.end, 0);
    EXPECT_EQ(p.line.step, -3);
    EXPECT_EQ(p.line.antialias, 9);
    EXPECT_EQ(p.messages, "Render frames 12 -> 0 , -3\nAnti aliazing level 9\nRender aspect 0.000000\n");
}

}  // namespace
}  // namespace vellimor
