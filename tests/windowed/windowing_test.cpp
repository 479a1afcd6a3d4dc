#include <GL/freeglut.h>
#include "support/test_prelude.h"

#include "platform/beep.h"
#include "platform/key_state.h"
#include "platform/window_system.h"

namespace vellimor::platform {
namespace {

TEST(Windowing, OpensWindowsAnswersNativeHandlesAndKeyStates) {
    ASSERT_TRUE(display_available());
    ASSERT_TRUE(window_system_init("Vellimor"));
    EXPECT_TRUE(window_system_init("again"));  // once per process
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE);
    glutInitWindowSize(200, 100);
    const int main_window = glutCreateWindow("main");
    glutDisplayFunc([] {});
    const int second = glutCreateWindow("second");
    glutDisplayFunc([] {});
    for (int i = 0; i < 10; ++i) glutHandleEvents();  // returns without waiting
    glutSetWindow(second);
    const unsigned long current = glutGetHWND(0);
    const unsigned long main_handle = glutGetHWND(1);
    EXPECT_NE(current, 0ul);
    EXPECT_NE(main_handle, 0ul);
    EXPECT_NE(current, main_handle);
    EXPECT_EQ(glutGetWindow(), second);  // asking for the main window keeps the current one
    window_system_set_main_window(second);
    EXPECT_EQ(glutGetHWND(1), current);
    glutDestroyWindow(second);
    glutDestroyWindow(main_window);
    glutHandleEvents();

    // No key is held on a fresh display; a beep is counted.
    EXPECT_FALSE(key_is_down(Key::Escape));
    EXPECT_FALSE(key_is_down(Key::Shift));
    EXPECT_FALSE(key_is_down(Key::LeftAlt));
    EXPECT_FALSE(key_is_down(Key::LeftMouse));
    const long before = beeps_requested();
    beep();
    EXPECT_EQ(beeps_requested(), before + 1);
}

}  // namespace
}  // namespace vellimor::platform
