#pragma once

#include <optional>

class QWindow;

namespace vorn {

// Puts the window above the others and on every virtual desktop (above and sticky), or back to an
// ordinary window, on X11; elsewhere it does nothing. An unmapped window gets the state written into its
// properties, a mapped one asks the window manager to change it in place.
// `mapped` is the caller's to say: Qt calls a window visible before its new native window is mapped.
void applyX11Floating(QWindow* window, bool floats, bool mapped);

// Whether a compositing manager runs on the window's X screen (it owns the _NET_WM_CM_S<n> selection);
// nothing off X11.
std::optional<bool> x11Compositing(QWindow* window);

} // namespace vorn
