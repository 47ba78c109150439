#include "ZoneCanvasViewModel.h"
#include "QmlValues.h"

#include "Strings.h"

#include "core/hotkeys/KeyCombos.h"

#include <QVariantMap>

#include <algorithm>
#include <array>
#include <string_view>
#include <type_traits>
#include <utility>

namespace tessera::shell {

namespace {

// The handles by the names QML passes around, in the core's declaration order.
constexpr std::array<std::pair<CanvasHandle, std::string_view>, 9> handleNames{{
    {CanvasHandle::move, "move"},
    {CanvasHandle::nw, "nw"},
    {CanvasHandle::n, "n"},
    {CanvasHandle::ne, "ne"},
    {CanvasHandle::e, "e"},
    {CanvasHandle::se, "se"},
    {CanvasHandle::s, "s"},
    {CanvasHandle::sw, "sw"},
    {CanvasHandle::w, "w"},
}};

QString handleName(CanvasHandle handle) {
    for (const auto& [value, name] : handleNames) {
        if (value == handle) {
            return text(name);
        }
    }
    return {};
}

std::optional<CanvasHandle> parseHandle(const QString& text) {
    const auto utf8 = text.toStdString();
    for (const auto& [value, name] : handleNames) {
        if (name == utf8) {
            return value;
        }
    }
    return std::nullopt;
}

// The frame-resize pointer of each handle's position; the body shows the open hand.
Qt::CursorShape cursorFor(CanvasHandle handle) {
    switch (handle) {
    case CanvasHandle::nw:
    case CanvasHandle::se:
        return Qt::SizeFDiagCursor;
    case CanvasHandle::ne:
    case CanvasHandle::sw:
        return Qt::SizeBDiagCursor;
    case CanvasHandle::n:
    case CanvasHandle::s:
        return Qt::SizeVerCursor;
    case CanvasHandle::e:
    case CanvasHandle::w:
        return Qt::SizeHorCursor;
    case CanvasHandle::move:
        break;
    }
    return Qt::OpenHandCursor;
}

constexpr std::array<std::pair<ZoneMenuAction, std::string_view>, 3> actionNames{{
    {ZoneMenuAction::splitLeftRight, "splitLeftRight"},
    {ZoneMenuAction::splitTopBottom, "splitTopBottom"},
    {ZoneMenuAction::remove, "remove"},
}};

QString actionName(ZoneMenuAction action) {
    for (const auto& [value, name] : actionNames) {
        if (value == action) {
            return text(name);
        }
    }
    return {};
}

std::optional<ZoneMenuAction> parseAction(const QString& text) {
    const auto utf8 = text.toStdString();
    for (const auto& [value, name] : actionNames) {
        if (name == utf8) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<Uuid> parseID(const QString& text) {
    return Uuid::parse(text.toStdString());
}

QString idText(const Uuid& id) {
    return QString::fromStdString(id.string());
}

} // namespace

ZoneCanvasViewModel::ZoneCanvasViewModel(const Strings& strings,
                                         ZoneCanvasModel::Callbacks callbacks,
                                         std::function<std::string(const Zone&)> zoneName,
                                         QObject* parent)
    : QObject(parent), strings_(strings), zoneName_(std::move(zoneName)) {
    model_.callbacks = std::move(callbacks);
    connect(this, &ZoneCanvasViewModel::changed, this, [this] { boxes_.show(shownBoxes()); });
}

ZoneCanvasViewModel::~ZoneCanvasViewModel() = default;

template <typename Action> auto ZoneCanvasViewModel::announcing(Action&& action) {
    const ZoneCanvasModel::State before = model_.state();
    if constexpr (std::is_void_v<decltype(action())>) {
        std::forward<Action>(action)();
        if (model_.state() != before) {
            Q_EMIT changed();
        }
    } else {
        auto result = std::forward<Action>(action)();
        if (model_.state() != before) {
            Q_EMIT changed();
        }
        return result;
    }
}

void ZoneCanvasViewModel::setContent(std::vector<Zone> zones, std::optional<Uuid> selectedID,
                                     ZoneGrid grid) {
    // Only the owner's data changes; the drag state stays, so a move or resize in progress goes
    // on from where it began.
    announcing([&] {
        model_.setZones(std::move(zones));
        model_.setSelectedID(std::move(selectedID));
        model_.setGrid(grid);
    });
}

double ZoneCanvasViewModel::viewWidth() const {
    return model_.viewSize().width;
}

void ZoneCanvasViewModel::setViewWidth(double width) {
    announcing([&] { model_.setViewSize({std::max(width, 0.0), model_.viewSize().height}); });
}

double ZoneCanvasViewModel::viewHeight() const {
    return model_.viewSize().height;
}

void ZoneCanvasViewModel::setViewHeight(double height) {
    announcing([&] { model_.setViewSize({model_.viewSize().width, std::max(height, 0.0)}); });
}

bool ZoneCanvasViewModel::focused() const {
    return model_.focused();
}

void ZoneCanvasViewModel::setFocused(bool focused) {
    announcing([&] { model_.setFocused(focused); });
}

QRectF ZoneCanvasViewModel::area() const {
    const Rect a = model_.area();
    return {a.minX(), a.minY(), a.width(), a.height()};
}

std::vector<ZoneBox> ZoneCanvasViewModel::shownBoxes() const {
    const Rect a = model_.area();
    const auto& selected = model_.selectedID();
    const auto& live = model_.liveZone();
    std::vector<ZoneBox> boxes;
    for (const auto& zone : model_.shownZones()) {
        const Rect box = zoneBox(zone, a);
        boxes.push_back(
            ZoneBox{.id = idText(zone.id),
                    .name = QString::fromStdString(zoneName_ ? zoneName_(zone) : zone.name),
                    .shortcut = zone.shortcut ? QString::fromStdString(linuxShortcutText(
                                                    *zone.shortcut, strings_.localizer()))
                                              : QString(),
                    .selected = selected && *selected == zone.id,
                    .live = live && live->id == zone.id,
                    .box = QRectF(box.minX(), box.minY(), box.width(), box.height())});
    }
    return boxes;
}

QVariantList ZoneCanvasViewModel::handles() const {
    const auto& selected = model_.selectedID();
    if (!selected) {
        return {};
    }
    // The shown zones carry the live zone during a drag, so the handles travel with the box.
    const auto shown = model_.shownZones();
    const auto zone =
        std::find_if(shown.begin(), shown.end(), [&](const Zone& z) { return z.id == *selected; });
    if (zone == shown.end()) {
        return {};
    }
    QVariantList list;
    for (const auto& target : resizeHandleTargets(zoneBox(*zone, model_.area()))) {
        QVariantMap entry = rectMap(target.rect);
        entry.insert("handle", handleName(target.handle));
        const auto edges = draggedEdges(target.handle);
        entry.insert("corner", (edges.left || edges.right) && (edges.top || edges.bottom));
        entry.insert("cursor", static_cast<int>(cursorFor(target.handle)));
        list.append(entry);
    }
    return list;
}

QVariant ZoneCanvasViewModel::snapRect() const {
    const auto& zone = model_.snapZone();
    return zone ? QVariant(rectMap(zoneBox(*zone, model_.area()))) : QVariant();
}

QVariant ZoneCanvasViewModel::drawnRect() const {
    const auto& zone = model_.drawnZone();
    return zone ? QVariant(rectMap(zoneBox(*zone, model_.area()))) : QVariant();
}

QVariantList ZoneCanvasViewModel::gridLines() const {
    QVariantList list;
    for (const auto& line : model_.gridLines()) {
        list.append(QVariant(QVariantList{line.from.x, line.from.y, line.to.x, line.to.y}));
    }
    return list;
}

double ZoneCanvasViewModel::gridLineOpacity() const {
    return model_.gridLineOpacity();
}

bool ZoneCanvasViewModel::movingOrResizing() const {
    return model_.isMovingOrResizing();
}

QString ZoneCanvasViewModel::sizeLabel() const {
    const auto label = model_.sizeLabel(strings_.localizer());
    return label ? QString::fromStdString(*label) : QString();
}

bool ZoneCanvasViewModel::showsEmptyState() const {
    return model_.showsEmptyState();
}

QVariantList ZoneCanvasViewModel::menuItems() const {
    QVariantList list;
    for (const auto& item : zoneMenuItems()) {
        list.append(QVariantMap{
            {"action", actionName(item.action)},
            {"title", strings_.localized(QString::fromStdString(item.title))},
            {"image", QString::fromStdString(item.image)},
            {"destructive", item.destructive},
            {"dividerBefore", item.dividerBefore},
        });
    }
    return list;
}

int ZoneCanvasViewModel::columns() const {
    return static_cast<int>(model_.grid().columns);
}

int ZoneCanvasViewModel::rows() const {
    return static_cast<int>(model_.grid().rows);
}

QVariantMap ZoneCanvasViewModel::pointerTarget(double x, double y) const {
    const auto target = model_.pointerTarget({x, y});
    if (!target) {
        return {};
    }
    return {
        {"zoneID", idText(target->zoneID)},
        {"handle", handleName(target->handle)},
        {"cursor", static_cast<int>(cursorFor(target->handle))},
    };
}

void ZoneCanvasViewModel::zoneDragChanged(const QString& zoneID, const QString& handle,
                                          double translationX, double translationY) {
    const auto id = parseID(zoneID);
    const auto canvasHandle = parseHandle(handle);
    if (!id || !canvasHandle) {
        return;
    }
    announcing([&] {
        model_.zoneDragChanged(*id, *canvasHandle, Size{translationX, translationY});
    });
}

void ZoneCanvasViewModel::zoneDragEnded(const QString& handle) {
    const auto canvasHandle = parseHandle(handle);
    if (!canvasHandle) {
        return;
    }
    announcing([&] { model_.zoneDragEnded(*canvasHandle); });
}

void ZoneCanvasViewModel::backgroundDragChanged(double startX, double startY, double x, double y) {
    announcing([&] { model_.backgroundDragChanged({startX, startY}, {x, y}); });
}

void ZoneCanvasViewModel::backgroundDragEnded(double x, double y) {
    announcing([&] { model_.backgroundDragEnded({x, y}); });
}

bool ZoneCanvasViewModel::arrowKey(int qtKey) {
    std::optional<ArrowKey> key;
    switch (qtKey) {
    case Qt::Key_Left:
        key = ArrowKey::left;
        break;
    case Qt::Key_Right:
        key = ArrowKey::right;
        break;
    case Qt::Key_Up:
        key = ArrowKey::up;
        break;
    case Qt::Key_Down:
        key = ArrowKey::down;
        break;
    default:
        return false;
    }
    return announcing([&] { return model_.arrowKey(*key); });
}

bool ZoneCanvasViewModel::deleteCommand() {
    return announcing([&] { return model_.deleteCommand(); });
}

QString ZoneCanvasViewModel::zoneMenuRequested(double x, double y) {
    const auto id = announcing([&] { return model_.zoneMenuRequested({x, y}); });
    return id ? idText(*id) : QString();
}

void ZoneCanvasViewModel::menuAction(const QString& action, const QString& zoneID) {
    const auto menuAction = parseAction(action);
    const auto id = parseID(zoneID);
    if (!menuAction || !id) {
        return;
    }
    announcing([&] { model_.performMenuAction(*menuAction, *id); });
}

} // namespace tessera::shell
