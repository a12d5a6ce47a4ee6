#include "shell/ui/lockkeys.h"

#include <QGuiApplication>

#ifdef QUILLON_HAVE_X11
// Xlib's headers define macros (None, Bool, Status, ...) that clash with
// names elsewhere: they come last and stay in this file.
#include <X11/XKBlib.h>
#endif

namespace qln {

std::optional<LockKeyStates> readLockKeyStates()
{
#ifdef QUILLON_HAVE_X11
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    // By name: the indicators' bit positions differ between keyboard maps.
    static const Atom names[3] = {XInternAtom(display, "Caps Lock", False),
                                  XInternAtom(display, "Num Lock", False),
                                  XInternAtom(display, "Scroll Lock", False)};
    bool on[3] = {};
    for (int i = 0; i < 3; ++i) {
        Bool state = False;
        if (!XkbGetNamedIndicator(display, names[i], nullptr, &state, nullptr, nullptr))
            return std::nullopt;
        on[i] = state;
    }
    return LockKeyStates{on[0], on[1], on[2]};
#else
    return std::nullopt;
#endif
}

} // namespace qln
