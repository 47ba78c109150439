#include "Theme.h"

#include "AppViewModel.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>
#include <QStyleHints>

namespace tessera::shell {

namespace {

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x26, 0x26, 0x28);
    const QColor base(0x1e, 0x1e, 0x20);
    const QColor text(0xec, 0xec, 0xee);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window.lighter(110));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, text.darker(160));
    palette.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4e));
    palette.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x33));
    palette.setColor(QPalette::Dark, QColor(0x14, 0x14, 0x16));
    palette.setColor(QPalette::Disabled, QPalette::Text, text.darker(170));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, text.darker(170));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, text.darker(170));
    return palette;
}

QPalette lightPalette() {
    QPalette palette;
    const QColor window(0xf2, 0xf2, 0xf4);
    const QColor text(0x1d, 0x1d, 0x1f);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0xe4, 0xe4, 0xe8));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, Qt::white);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, text.lighter(250));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x9a, 0x9a, 0x9e));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x9a, 0x9a, 0x9e));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x9a, 0x9a, 0x9e));
    return palette;
}

} // namespace

void applyColorScheme(bool dark) {
    QGuiApplication::setPalette(dark ? darkPalette() : lightPalette());
}

DesktopColorScheme::DesktopColorScheme()
    : dark_(QGuiApplication::palette().color(QPalette::Window).lightness() < 128) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    // Where the platform knows the scheme it says so, also when the user changes it later.
    const auto follow = [this](Qt::ColorScheme scheme) {
        if (scheme == Qt::ColorScheme::Unknown || (scheme == Qt::ColorScheme::Dark) == dark_) {
            return;
        }
        dark_ = scheme == Qt::ColorScheme::Dark;
        Q_EMIT changed();
    };
    follow(QGuiApplication::styleHints()->colorScheme());
    connect(QGuiApplication::styleHints(), &QStyleHints::colorSchemeChanged, this, follow);
#endif
}

void followAppearance(AppViewModel& app, const DesktopColorScheme& desktop) {
    app.setSystemPrefersDark(desktop.dark());
    applyColorScheme(app.darkScheme());
    QObject::connect(&desktop, &DesktopColorScheme::changed, &app,
                     [&app, &desktop] { app.setSystemPrefersDark(desktop.dark()); });
    QObject::connect(&app, &AppViewModel::appearanceChanged, &app,
                     [&app] { applyColorScheme(app.darkScheme()); });
}

} // namespace tessera::shell
