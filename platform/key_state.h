// Asynchronous key and button state, polled by long computations (Escape aborts, left Alt ends
// antialiasing early, Shift shows shadow triangles) and by the forms toolkit's button queries.
#pragma once

namespace vellimor::platform {

enum class Key { Escape, Shift, Control, Alt, LeftAlt, LeftMouse, MiddleMouse, RightMouse };

// True while the key is held. With an X display open this is the X11 key/pointer state; without
// one no key is down, except that Escape reads as held once an interrupt (Ctrl-C) arrived while
// interrupts are routed to it.
bool key_is_down(Key key);

// Routes SIGINT to the Escape state (batch renders); the previous handler is restored by
// stop_routing_interrupt_to_escape().
void route_interrupt_to_escape();
void stop_routing_interrupt_to_escape();
// Forgets an interrupt that was seen (after the computation it aborted has stopped).
void clear_interrupt();
// An interrupt arrived while interrupts were routed to Escape, and was not cleared since.
bool interrupt_seen();

}  // namespace vellimor::platform
