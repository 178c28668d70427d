#pragma once

class QWindow;

namespace vorn {

// Puts the window on every virtual desktop (sticky) or back on one, on X11; elsewhere it does nothing.
// Staying above the others is Qt's window flag; what is done here is the part Qt has no flag for. An
// unmapped window gets the state written into its properties, a mapped one asks the window manager.
// Also clears an "above" state left from an earlier floating spell while the window is unmapped.
// `mapped` is the caller's to say: Qt calls a window visible before its new native window is mapped.
void applyX11Floating(QWindow* window, bool floats, bool mapped);

} // namespace vorn
