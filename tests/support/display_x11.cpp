#include "display_x11.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

// libX11 is opened at run time, so nothing that links the test support
// needs the X library.
bool x11_request_window_close(unsigned long Window) {
    void* X = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!X) return false;
    auto Open = reinterpret_cast<Display* (*)(const char*)>(dlsym(X, "XOpenDisplay"));
    auto Intern = reinterpret_cast<Atom (*)(Display*, const char*, Bool)>(dlsym(X, "XInternAtom"));
    auto Send = reinterpret_cast<Status (*)(Display*, ::Window, Bool, long, XEvent*)>(
        dlsym(X, "XSendEvent"));
    auto Flush = reinterpret_cast<int (*)(Display*)>(dlsym(X, "XFlush"));
    auto Close = reinterpret_cast<int (*)(Display*)>(dlsym(X, "XCloseDisplay"));
    bool Sent = false;
    if (Open && Intern && Send && Flush && Close) {
        if (Display* D = Open(nullptr)) {
            XEvent E = {};
            E.xclient.type = ClientMessage;
            E.xclient.window = Window;
            E.xclient.message_type = Intern(D, "WM_PROTOCOLS", False);
            E.xclient.format = 32;
            E.xclient.data.l[0] = long(Intern(D, "WM_DELETE_WINDOW", False));
            E.xclient.data.l[1] = CurrentTime;
            Sent = Send(D, Window, False, NoEventMask, &E) != 0;
            Flush(D);
            Close(D);
        }
    }
    dlclose(X);
    return Sent;
}
