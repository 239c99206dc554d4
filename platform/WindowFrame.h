#pragma once
// What the window manager's frame offers on a fixed-size, dialog-like window: close and
// minimise, nothing that changes its size.

class QWindow;

namespace platform {

// Tells the window manager that window may be moved, minimised and closed, and no more: no
// maximise button, no resizing, no full screen. Qt's X11 backend always lets a window be
// resized in the Motif hints it writes (_MOTIF_WM_HINTS), whatever the window's flags say, and
// openbox believes them; so on X11 the hints are written here instead. Call it whenever the
// window is about to be mapped (its show event); Qt writes its own again only when the window's
// flags change. Elsewhere (offscreen, Wayland) the window's flags and fixed size are all there is
// to say, and this does nothing.
void OfferOnlyCloseAndMinimise(QWindow& window);

} // namespace platform
