#pragma once

#include "core/model/Geometry.h"
#include "core/ui/Overview.h"

#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <string_view>
#include <vector>

namespace tessera::shell {

// The core's UTF-8 text as QML shows it.
inline QString text(std::string_view value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

// { x, y, width, height }, as QML items read a rectangle.
inline QVariantMap rectMap(const Rect& rect) {
    return {
        {"x", rect.minX()}, {"y", rect.minY()}, {"width", rect.width()}, {"height", rect.height()}};
}

// A display preview's zones as MonitorPreview.qml draws them: [{ x, y, width, height, name }].
inline QVariantList previewZoneList(const std::vector<PreviewZone>& zones) {
    QVariantList list;
    for (const auto& zone : zones) {
        list.append(QVariantMap{{"x", zone.x},
                                {"y", zone.y},
                                {"width", zone.width},
                                {"height", zone.height},
                                {"name", text(zone.name)}});
    }
    return list;
}

} // namespace tessera::shell
