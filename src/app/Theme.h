#pragma once

#include <QObject>

namespace tessera::shell {

class AppViewModel;

// Sets the application's palette to the light or dark scheme; every window follows.
void applyColorScheme(bool dark);

// The desktop's own colour scheme, which "System" and the overlay follow. The application's
// palette can't tell it once "appearance" has replaced it, so it is read when this is made
// (before the first applyColorScheme) and then followed where Qt reports the desktop's changes.
class DesktopColorScheme : public QObject {
    Q_OBJECT
public:
    DesktopColorScheme();
    bool dark() const { return dark_; }

Q_SIGNALS:
    void changed();

private:
    bool dark_ = false;
};

// Keeps the application's palette on the main window's scheme ("appearance", with "System"
// taken from the desktop) from now on.
void followAppearance(AppViewModel& app, const DesktopColorScheme& desktop);

} // namespace tessera::shell
