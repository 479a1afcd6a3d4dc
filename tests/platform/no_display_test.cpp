#include "support/test_prelude.h"

#include <csignal>

#include "platform/beep.h"
#include "platform/key_state.h"
#include "platform/window_system.h"

namespace vellimor::platform {
namespace {

// Runs in its own process: the display is looked for first here, without DISPLAY.
TEST(NoDisplay, WindowSystemRefusesNoKeyIsDownAndInterruptReadsAsEscape) {
    unsetenv("DISPLAY");
    EXPECT_FALSE(display_available());
    EXPECT_FALSE(window_system_init("Vellimor"));
    EXPECT_FALSE(window_system_ready());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(window_system_require("Vellimor"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Can't open a window: no X display available\n");
    glutHandleEvents();
    EXPECT_EQ(std::make_pair(glutGetHWND(0), glutGetHWND(1)), std::make_pair(0ul, 0ul));
    for (Key k : {Key::Escape, Key::Shift, Key::Control, Key::Alt, Key::LeftAlt, Key::LeftMouse, Key::MiddleMouse,
                  Key::RightMouse})
        EXPECT_FALSE(key_is_down(k));
    beep();

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
