#pragma once

#include <QRect>

#include <memory>

class QWindow;

namespace tessera::shell {

// What a Wayland compositor needs to treat the overlay's windows as X11 treats them through
// their flags, which Qt 6.4's Wayland plugin ignores (stay on top, transparent for input, no
// focus): an empty input region, so every click reaches the window beneath, and KDE Plasma's
// on-screen-display role, which KWin never focuses and keeps above full-screen windows, placed
// at the display's top-left corner in the compositor's logical coordinates. Qt makes a new
// surface each time a window is shown, so the role is given after every show and dropped at
// every hide. A compositor without Plasma's shell gets the input region alone, and one line in
// the log.
class WaylandOverlayRole {
public:
    // Nothing unless Qt runs on Wayland.
    static std::shared_ptr<WaylandOverlayRole> forApplication();
    ~WaylandOverlayRole();
    WaylandOverlayRole(const WaylandOverlayRole&) = delete;
    WaylandOverlayRole& operator=(const WaylandOverlayRole&) = delete;

    // Right after the window was shown, before its first frame.
    void shown(QWindow& window, const QPoint& place);
    void moved(QWindow& window, const QPoint& place);
    void hidden(QWindow& window);

    bool hasPlasmaShell() const;

private:
    struct Globals;
    explicit WaylandOverlayRole(std::unique_ptr<Globals> globals);

    std::unique_ptr<Globals> globals_;
};

} // namespace tessera::shell
