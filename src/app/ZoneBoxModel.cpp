#include "ZoneBoxModel.h"

#include <algorithm>

namespace tessera::shell {

void ZoneBoxModel::show(const std::vector<ZoneBox>& boxes) {
    const auto wanted = [&](const QString& id) {
        return std::any_of(boxes.begin(), boxes.end(),
                           [&](const ZoneBox& b) { return b.id == id; });
    };
    for (int row = int(boxes_.size()) - 1; row >= 0; --row) {
        if (!wanted(boxes_[size_t(row)].id)) {
            beginRemoveRows({}, row, row);
            boxes_.erase(boxes_.begin() + row);
            endRemoveRows();
        }
    }
    for (int row = 0; row < int(boxes.size()); ++row) {
        const ZoneBox& box = boxes[size_t(row)];
        const auto found = std::find_if(boxes_.begin() + row, boxes_.end(),
                                        [&](const ZoneBox& b) { return b.id == box.id; });
        if (found == boxes_.end()) {
            beginInsertRows({}, row, row);
            boxes_.insert(boxes_.begin() + row, box);
            endInsertRows();
            continue;
        }
        const int from = int(found - boxes_.begin());
        if (from != row) {
            beginMoveRows({}, from, from, {}, row);
            std::rotate(boxes_.begin() + row, boxes_.begin() + from, boxes_.begin() + from + 1);
            endMoveRows();
        }
        ZoneBox& shown = boxes_[size_t(row)];
        if (shown == box) {
            continue;
        }
        const QModelIndex at = index(row);
        // `live` on its own and first: a box that starts following the pointer must not animate
        // to it, and one that stops must animate to where it lands.
        if (shown.live != box.live) {
            shown.live = box.live;
            Q_EMIT dataChanged(at, at, {LiveRole});
        }
        shown = box;
        Q_EMIT dataChanged(at, at,
                           {NameRole, ShortcutRole, SelectedRole, BoxXRole, BoxYRole, BoxWidthRole,
                            BoxHeightRole});
    }
}

int ZoneBoxModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(boxes_.size());
}

QVariant ZoneBoxModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const ZoneBox& box = boxes_[size_t(index.row())];
    switch (role) {
    case ZoneIDRole:
        return box.id;
    case NameRole:
        return box.name;
    case ShortcutRole:
        return box.shortcut;
    case SelectedRole:
        return box.selected;
    case LiveRole:
        return box.live;
    case BoxXRole:
        return box.box.x();
    case BoxYRole:
        return box.box.y();
    case BoxWidthRole:
        return box.box.width();
    case BoxHeightRole:
        return box.box.height();
    default:
        return {};
    }
}

QHash<int, QByteArray> ZoneBoxModel::roleNames() const {
    return {{ZoneIDRole, "zoneID"},     {NameRole, "name"},         {ShortcutRole, "shortcut"},
            {SelectedRole, "selected"}, {LiveRole, "live"},         {BoxXRole, "boxX"},
            {BoxYRole, "boxY"},         {BoxWidthRole, "boxWidth"}, {BoxHeightRole, "boxHeight"}};
}

} // namespace tessera::shell
