#pragma once

#include <QAbstractListModel>
#include <QRectF>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <vector>

namespace tessera::shell {

// One zone's box as the zone canvas draws it, in the item's points.
struct ZoneBox {
    QString id;
    QString name;
    // As Linux writes it ("Ctrl+Alt+1"), empty for none.
    QString shortcut;
    bool selected = false;
    // Following the pointer during a move or resize.
    bool live = false;
    QRectF box;

    bool operator==(const ZoneBox&) const = default;
};

// The zone canvas's boxes as a list whose rows stay with their zone from one content to the next,
// so QML's delegate for a zone lives on and animates from where it was to where its zone is now
// instead of being made afresh. Roles: zoneID, name, shortcut, selected, live, boxX, boxY,
// boxWidth, boxHeight.
class ZoneBoxModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the zone canvas")
public:
    enum Role {
        ZoneIDRole = Qt::UserRole + 1,
        NameRole,
        ShortcutRole,
        SelectedRole,
        LiveRole,
        BoxXRole,
        BoxYRole,
        BoxWidthRole,
        BoxHeightRole
    };

    using QAbstractListModel::QAbstractListModel;

    // Brings the rows to `boxes` (bottom first) by removing, inserting and moving rows and
    // changing what changed in the rest.
    void show(const std::vector<ZoneBox>& boxes);
    const std::vector<ZoneBox>& boxes() const { return boxes_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    std::vector<ZoneBox> boxes_;
};

} // namespace tessera::shell
