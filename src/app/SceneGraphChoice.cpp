#include "SceneGraphChoice.h"

#include <QQuickWindow>
#include <QSGRendererInterface>

#include <system_error>

namespace tessera::shell {

GraphicsHints graphicsHints(const std::filesystem::path& devices) {
    GraphicsHints hints;
    hints.backendChosen = !qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") ||
                          !qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND");
    hints.alwaysSoftware = qEnvironmentVariable("LIBGL_ALWAYS_SOFTWARE").toStdString();
    std::error_code error;
    hints.drmDevice = std::filesystem::directory_iterator(devices / "dri", error) !=
                      std::filesystem::directory_iterator();
    hints.nvidiaDevice = std::filesystem::exists(devices / "nvidiactl", error);
    return hints;
}

bool preferSoftwareRenderer(const GraphicsHints& hints) {
    if (hints.backendChosen) {
        return false;
    }
    // Read as Mesa reads it: other values leave its default (hardware where there is some).
    const QString forced = QString::fromStdString(hints.alwaysSoftware).toLower();
    if (forced == QLatin1String("1") || forced == QLatin1String("true") ||
        forced == QLatin1String("y") || forced == QLatin1String("yes")) {
        return true;
    }
    return !hints.drmDevice && !hints.nvidiaDevice;
}

bool chooseSceneGraphBackend() {
    if (!preferSoftwareRenderer(graphicsHints())) {
        return false;
    }
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return true;
}

} // namespace tessera::shell
