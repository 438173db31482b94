// Talking to the X server as a window manager would, for tests that drive the
// game's window from outside.
#pragma once

// Sends the window a WM_DELETE_WINDOW client message, the close request a
// window manager sends for the close button. False when it could not be sent.
bool x11_request_window_close(unsigned long Window);
