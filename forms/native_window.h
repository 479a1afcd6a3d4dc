// What the toolkit asks of the X windows behind its forms beyond the GLUT interface.
#pragma once

namespace vellimor {

// Asks the window manager to draw no decoration around the current GLUT window.
void fm_remove_decorations();
// Minimises the host application's main window (titled "Host 3D") when there is one.
void fm_minimise_host_window();

}  // namespace vellimor
