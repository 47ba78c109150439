#pragma once

#include <QIcon>
#include <QQuickImageProvider>
#include <QString>

namespace tessera::shell {

// Draws the symbols the interface names ("gearshape", "exclamationmark.triangle.fill", …) as
// glyphs of the desktop's fonts, so pages, the tray menu and tests share one set of icons.
// QML asks for "image://symbols/<name>" with an optional "?color=<colour>".
class SymbolImageProvider : public QQuickImageProvider {
public:
    SymbolImageProvider();
    QPixmap requestPixmap(const QString& id, QSize* size, const QSize& requestedSize) override;
};

// The glyph standing for a symbol name; a neutral dot for a name without one.
QString symbolGlyph(const QString& name);
// The symbol as an icon for widgets (the tray menu).
QIcon symbolIcon(const QString& name, const QColor& color);

} // namespace tessera::shell
