#pragma once
// While the application connects to the display: if no platform plugin can
// start (no display, or one that cannot be reached), the program ends with a
// plain explanation and status 1 instead of Qt's abort with its advice to
// reinstall.

namespace talvex {

// On before QApplication is created, off once it exists.
void explainMissingDisplay(bool on);

// X11, Wayland and xvfb-run mean nothing to a Windows or macOS user: they are
// told about their own desktop.
#if defined(_WIN32) || defined(__APPLE__)
inline constexpr const char* kNoDisplayText =
    "talvex-editor: no display. The editor is a desktop program and its window could not\n"
    "be opened. Start it from a desktop session (not from a service or a remote shell\n"
    "without a desktop).\n";
#else
inline constexpr const char* kNoDisplayText =
    "talvex-editor: no display. The editor is a desktop program and needs a graphical\n"
    "display (X11 or Wayland), and none could be opened (see DISPLAY and WAYLAND_DISPLAY).\n"
    "On a machine without a display, run it on a virtual one with xvfb-run (Debian package xvfb):\n"
    "\n"
    "    xvfb-run -a talvex-editor\n";
#endif

} // namespace talvex
