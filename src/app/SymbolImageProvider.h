#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QQuickImageProvider>
#include <QSize>
#include <QString>

namespace tessera::shell {

// The freedesktop icon that stands for a symbol the interface names ("gearshape",
// "exclamationmark.triangle.fill", …), turned by a number of quarter turns clockwise where the
// theme has the picture only the other way round.
struct ThemeIconName {
    QString name;
    int quarterTurns = 0;
};

// The icon for a symbol; no name for a symbol Tessera doesn't know.
ThemeIconName themeIconName(const QString& symbol);

// Where Tessera's own copy of a theme icon lies (Adwaita's symbolic icons, in the resources);
// used when the desktop's icon theme has no icon of that name.
QString bundledIconPath(const QString& themeName);

// The symbol drawn from the desktop's icon theme, else from the bundled copy, recoloured to
// `color`: symbolic icons are one colour, so they follow the text of the light or dark scheme.
// A transparent picture for a symbol Tessera doesn't know.
QPixmap symbolPixmap(const QString& symbol, const QColor& color, QSize size);

// Serves symbols to QML: "image://symbols/<symbol>?color=<colour>" (the colour percent-encoded,
// black when missing).
class SymbolImageProvider : public QQuickImageProvider {
public:
    SymbolImageProvider();
    QPixmap requestPixmap(const QString& id, QSize* size, const QSize& requestedSize) override;
};

// The symbol as an icon for widgets (the tray menu).
QIcon symbolIcon(const QString& symbol, const QColor& color);

} // namespace tessera::shell
