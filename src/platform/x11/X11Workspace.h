#pragma once

#include "X11Windows.h"

#include "core/platform/Log.h"
#include "core/platform/Workspace.h"
#include "platform/linux/DesktopEntries.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace tessera {

// Running applications and desktop services on X11. The frontmost application owns
// _NET_ACTIVE_WINDOW; an application's identifier is the id of its desktop entry when one
// matches (StartupWMClass, then the file name, against WM_CLASS), else the WM_CLASS class; its
// name comes from the desktop entry, else the class. Activation is reported when
// _NET_ACTIVE_WINDOW changes to another process's window. URLs and files open with xdg-open.
class X11Workspace final : public Workspace {
public:
    // The folders searched for desktop entries, in order ($XDG_DATA_HOME/applications, then
    // each of $XDG_DATA_DIRS/applications when empty).
    X11Workspace(X11Windows& windows, Log& log,
                 std::vector<std::filesystem::path> applicationFolders = {});
    ~X11Workspace() override;

    std::optional<ProcessId> frontmostApplication() const override;
    std::optional<RunningApplication> runningApplication(ProcessId process) const override;
    [[nodiscard]] Connection
    onDidActivateApplication(std::function<void(ProcessId)> handler) override;
    void beep() override;
    std::vector<WindowListEntry> onScreenWindows() const override;
    bool openURL(std::string_view url) override;
    bool revealInFileBrowser(const std::vector<std::filesystem::path>& items) override;

    // Layers of onScreenWindows, in the window server's numbers: ordinary windows, dialogs and
    // windows without a type are 0; below them what the user keeps underneath
    // (_NET_WM_STATE_BELOW); above them floating palettes, toolbars, splash screens and windows
    // kept on top (_NET_WM_STATE_ABOVE); then docks and panels; then notifications; then
    // menus and tooltips. Desktop windows (icons, wallpaper) are left out altogether.
    static constexpr std::int32_t belowLayer = -1;
    static constexpr std::int32_t normalLayer = 0;
    static constexpr std::int32_t floatingLayer = 3;
    static constexpr std::int32_t dockLayer = 20;
    static constexpr std::int32_t notificationLayer = 25;
    static constexpr std::int32_t popUpMenuLayer = 101;

private:
    void activeWindowChanged();
    std::optional<std::int32_t> layerOf(XWindow window) const;
    bool startOpener(const std::string& argument);

    X11Windows& windows_;
    Log& log_;
    mutable DesktopEntryCatalog catalog_;
    Signal<ProcessId> activated_;
    XAtom activeWindowAtom_ = 0;
    std::optional<ProcessId> lastReported_;
    tessera::Connection events_;
};

} // namespace tessera
