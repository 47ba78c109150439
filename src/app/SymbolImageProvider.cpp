#include "SymbolImageProvider.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QUrlQuery>

namespace tessera::shell {

QString symbolGlyph(const QString& name) {
    // Glyphs of DejaVu Sans, which every Tessera installation has (fonts-dejavu-core).
    static const QHash<QString, QString> glyphs{
        {"rectangle.3.group", QStringLiteral("\u25A6")},
        {"rectangle.split.3x3", QStringLiteral("\u229E")},
        {"gearshape", QStringLiteral("\u2699")},
        {"person.crop.circle", QStringLiteral("\u263B")},
        {"macwindow.on.rectangle", QStringLiteral("\u2750")},
        {"command", QStringLiteral("\u2318")},
        {"nosign", QStringLiteral("\u2298")},
        {"lock.shield", QStringLiteral("\u26B7")},
        {"exclamationmark.circle.fill", QStringLiteral("\u2762")},
        {"exclamationmark.triangle.fill", QStringLiteral("\u26A0")},
        {"checkmark.circle.fill", QStringLiteral("\u2714")},
        {"minus.circle.fill", QStringLiteral("\u2296")},
        {"xmark.circle.fill", QStringLiteral("\u2297")},
        {"hand.draw", QStringLiteral("\u261D")},
        {"option", QStringLiteral("\u2325")},
        {"arrow.uturn.backward", QStringLiteral("\u21B6")},
        {"arrow.up.left.and.arrow.down.right", QStringLiteral("\u2B1A")},
        {"arrow.left.square", QStringLiteral("\u2B05")},
        {"arrow.right.square", QStringLiteral("\u27A1")},
        {"arrow.up.square", QStringLiteral("\u2B06")},
        {"arrow.down.square", QStringLiteral("\u2B07")},
        {"rectangle.lefthalf.inset.filled.arrow.left", QStringLiteral("\u21E4")},
        {"rectangle.righthalf.inset.filled.arrow.right", QStringLiteral("\u21E5")},
        {"globe", QStringLiteral("\u2641")},
        {"eye", QStringLiteral("\u25C9")},
        {"plus", QStringLiteral("+")},
        {"menubar", QStringLiteral("\u2630")},
        {"rectangle.dashed.badge.record", QStringLiteral("\u2B1A")},
        {"plus.square.on.square", QStringLiteral("\u2750")},
        {"trash", QStringLiteral("\u2327")},
        {"squareshape.split.3x3", QStringLiteral("\u25A6")},
        {"rectangle.split.2x1", QStringLiteral("\u25EB")},
        {"rectangle.split.1x2", QStringLiteral("\u229F")},
    };
    return glyphs.value(name, QStringLiteral("\u2022"));
}

namespace {

QPixmap drawSymbol(const QString& name, const QColor& color, QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(static_cast<int>(size.height() * 0.8));
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, symbolGlyph(name));
    return pixmap;
}

} // namespace

SymbolImageProvider::SymbolImageProvider() : QQuickImageProvider(QQuickImageProvider::Pixmap) {}

QPixmap SymbolImageProvider::requestPixmap(const QString& id, QSize* size,
                                           const QSize& requestedSize) {
    const auto query = id.indexOf('?');
    const QString name = query < 0 ? id : id.left(query);
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
    return drawSymbol(name, color, drawn);
}

QIcon symbolIcon(const QString& name, const QColor& color) {
    return QIcon(drawSymbol(name, color, QSize(32, 32)));
}

} // namespace tessera::shell
