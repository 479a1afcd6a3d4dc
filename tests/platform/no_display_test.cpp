#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "platform/beep.h"
#include "platform/key_state.h"
#include "platform/window_system.h"

namespace vellimor::platform {
namespace {

class NoDisplay : public testing::Test {
protected:
    // Each test runs in its own process: the display is looked for first here, without DISPLAY.
    void SetUp() override { unsetenv("DISPLAY"); }
};

TEST_F(NoDisplay, WindowSystemRefusesWithoutEndingTheProcess) {
    EXPECT_FALSE(display_available());
    EXPECT_FALSE(window_system_init("Vellimor"));
    EXPECT_FALSE(window_system_ready());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(window_system_require("Vellimor"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Can't open a window: no X display available\n");
    glutHandleEvents();
    EXPECT_EQ(glutGetHWND(0), 0ul);
    EXPECT_EQ(glutGetHWND(1), 0ul);
}

TEST_F(NoDisplay, NoKeyIsDownAndTheBeepIsSilent) {
    for (Key k : {Key::Escape, Key::Shift, Key::Control, Key::Alt, Key::LeftAlt, Key::LeftMouse,
                  Key::MiddleMouse, Key::RightMouse}) {
        EXPECT_FALSE(key_is_down(k));
    }
    beep();
}

TEST_F(NoDisplay, InterruptReadsAsEscapeWhileRouted) {
    route_interrupt_to_escape();
    std::raise(SIGINT);
    EXPECT_TRUE(key_is_down(Key::Escape));
    EXPECT_FALSE(key_is_down(Key::Shift));
    clear_interrupt();
    EXPECT_FALSE(key_is_down(Key::Escape));
    stop_routing_interrupt_to_escape();
}

}  // namespace
}  // namespace vellimor::platform
