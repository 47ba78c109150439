#include "SymbolImageProvider.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QTransform>
#include <QUrl>
#include <QUrlQuery>

namespace tessera::shell {

ThemeIconName themeIconName(const QString& symbol) {
    // Chosen for what each one means here: a monitor pair for the monitors' overview, tiles for
    // zones, dots for the snapping grid, an eye for showing the zones, "about" for About.
    static const QHash<QString, ThemeIconName> names{
        {"rectangle.3.group", {"video-joined-displays-symbolic"}},
        {"rectangle.split.3x3", {"view-grid-symbolic"}},
        {"gearshape", {"emblem-system-symbolic"}},
        {"person.crop.circle", {"help-about-symbolic"}},
        {"macwindow.on.rectangle", {"focus-windows-symbolic"}},
        {"command", {"preferences-desktop-keyboard-shortcuts-symbolic"}},
        {"nosign", {"action-unavailable-symbolic"}},
        {"lock.shield", {"channel-secure-symbolic"}},
        {"exclamationmark.circle.fill", {"emblem-important-symbolic"}},
        {"exclamationmark.triangle.fill", {"dialog-warning-symbolic"}},
        {"checkmark.circle.fill", {"emblem-ok-symbolic"}},
        {"minus.circle.fill", {"list-remove-symbolic"}},
        {"xmark.circle.fill", {"edit-clear-symbolic"}},
        {"hand.draw", {"input-mouse-symbolic"}},
        {"option", {"input-keyboard-symbolic"}},
        {"arrow.uturn.backward", {"edit-undo-symbolic"}},
        {"arrow.up.left.and.arrow.down.right", {"view-fullscreen-symbolic"}},
        {"arrow.left.square", {"go-previous-symbolic"}},
        {"arrow.right.square", {"go-next-symbolic"}},
        {"arrow.up.square", {"go-up-symbolic"}},
        {"arrow.down.square", {"go-down-symbolic"}},
        {"rectangle.lefthalf.inset.filled.arrow.left", {"go-first-symbolic"}},
        {"rectangle.righthalf.inset.filled.arrow.right", {"go-last-symbolic"}},
        {"globe", {"web-browser-symbolic"}},
        {"eye", {"view-reveal-symbolic"}},
        {"plus", {"list-add-symbolic"}},
        {"menubar", {"open-menu-symbolic"}},
        // A dashed frame: "draw one", unlike Fill Screen's outward arrows.
        {"rectangle.dashed.badge.record", {"edit-select-all-symbolic"}},
        {"plus.square.on.square", {"edit-copy-symbolic"}},
        {"trash", {"user-trash-symbolic"}},
        {"squareshape.split.3x3", {"view-app-grid-symbolic"}},
        {"rectangle.split.2x1", {"view-dual-symbolic"}},
        // Themes draw only side-by-side panes; a quarter turn stacks them.
        {"rectangle.split.1x2", {"view-dual-symbolic", 1}},
    };
    return names.value(symbol);
}

QString bundledIconPath(const QString& themeName) {
    return QStringLiteral(":/theme-icons/") + themeName + QStringLiteral(".svg");
}

namespace {

QIcon iconFor(const QString& themeName) {
    QIcon themed = QIcon::fromTheme(themeName);
    // Qt falls back to shorter names ("go-first-symbolic" to "go-first"), which are full-colour
    // pictures that recolouring would turn into blots; only the very icon will do.
    if (!themed.isNull() && themed.name() == themeName) {
        return themed;
    }
    return QIcon(bundledIconPath(themeName));
}

} // namespace

QPixmap symbolPixmap(const QString& symbol, const QColor& color, QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    const auto name = themeIconName(symbol);
    if (name.name.isEmpty()) {
        return pixmap;
    }
    // At the size asked for: QML asks for device pixels already.
    QPixmap drawn = iconFor(name.name).pixmap(size, 1.0);
    if (name.quarterTurns != 0) {
        drawn = drawn.transformed(QTransform().rotate(90.0 * name.quarterTurns));
    }
    QPainter painter(&pixmap);
    painter.drawPixmap((size.width() - drawn.width()) / 2, (size.height() - drawn.height()) / 2,
                       drawn);
    // Keeps the icon's shape and shading (its alpha) and paints it in the colour asked for.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    return pixmap;
}

SymbolImageProvider::SymbolImageProvider() : QQuickImageProvider(QQuickImageProvider::Pixmap) {}

QPixmap SymbolImageProvider::requestPixmap(const QString& id, QSize* size,
                                           const QSize& requestedSize) {
    const auto query = id.indexOf('?');
    const QString symbol = query < 0 ? id : id.left(query);
    QColor color(Qt::black);
    if (query >= 0) {
        const QUrlQuery options(id.mid(query + 1));
        const QColor asked(QUrl::fromPercentEncoding(options.queryItemValue("color").toUtf8()));
        if (asked.isValid()) {
            color = asked;
        }
    }
    const QSize drawn =
        requestedSize.isValid() && !requestedSize.isEmpty() ? requestedSize : QSize(32, 32);
    if (size != nullptr) {
        *size = drawn;
    }
    return symbolPixmap(symbol, color, drawn);
}

QIcon symbolIcon(const QString& symbol, const QColor& color) {
    QIcon icon;
    for (const int side : {16, 22, 32, 64}) {
        icon.addPixmap(symbolPixmap(symbol, color, QSize(side, side)));
    }
    return icon;
}

} // namespace tessera::shell
