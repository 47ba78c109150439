#include "WindowsPaneModel.h"
#include "QmlValues.h"

#include "Preferences.h"
#include "Strings.h"

#include "core/app/AppState.h"
#include "core/app/Preferences.h"
#include "core/editor/ZoneGrid.h"
#include "core/model/Signal.h"
#include "core/ui/WindowSettings.h"

#include <QMetaObject>
#include <QSizeF>
#include <QVariantList>

#include <algorithm>
#include <limits>

namespace tessera::shell {

namespace {

QSizeF qtSize(const Size& size) {
    return {size.width, size.height};
}

} // namespace

WindowsPaneModel::WindowsPaneModel(const ShellPorts& ports, Preferences& preferences,
                                   const Strings& strings, QObject* parent)
    : QObject(parent), ports_(ports), preferences_(preferences), strings_(strings),
      screens_(ports_.state.screens()), screensChanged_(this, [this] {
          // Only the displays matter here; the state announces much else.
          if (ports_.state.screens() != screens_) {
              screens_ = ports_.state.screens();
              announce();
          }
      }) {
    connect(&preferences_, &Preferences::changed, this, [this] { announce(); });
    // The state announces before it changes (displays come and go); read a turn later.
    connections_.push_back(ports_.state.onWillChange([this] { scheduleChanged(); }));
}

WindowsPaneModel::~WindowsPaneModel() = default;

void WindowsPaneModel::announce() {
    ++revision_;
    Q_EMIT changed();
}

void WindowsPaneModel::scheduleChanged() {
    screensChanged_.request();
}

double WindowsPaneModel::cardScaleMinimum() const {
    return cardScaleRange.minimum;
}

double WindowsPaneModel::cardScaleMaximum() const {
    return cardScaleRange.maximum;
}

double WindowsPaneModel::cardScaleStep() const {
    return cardScaleRange.step;
}

double WindowsPaneModel::cardScale() const {
    return cardScaleRange.controlValue(preferenceDouble(ports_.defaults, prefs::cardScale));
}

void WindowsPaneModel::setCardScale(double percent) {
    const double value = cardScaleRange.controlValue(percent);
    if (value != preferenceDouble(ports_.defaults, prefs::cardScale)) {
        preferences_.setDouble(text(prefs::cardScale), value);
    }
}

QString WindowsPaneModel::cardScaleText() const {
    return text(tessera::cardScaleText(preferenceDouble(ports_.defaults, prefs::cardScale)));
}

QSizeF WindowsPaneModel::cardPreviewSize() const {
    return qtSize(tessera::cardPreviewSize(preferenceDouble(ports_.defaults, prefs::cardScale)));
}

QSizeF WindowsPaneModel::cardPreviewMaximumSize() const {
    return qtSize(tessera::cardPreviewSize(cardScaleRange.maximum));
}

double WindowsPaneModel::windowGapMinimum() const {
    return windowGapRange.minimum;
}

double WindowsPaneModel::windowGapMaximum() const {
    return windowGapRange.maximum;
}

double WindowsPaneModel::windowGapStep() const {
    return windowGapRange.step;
}

double WindowsPaneModel::windowGap() const {
    return windowGapRange.controlValue(preferenceDouble(ports_.defaults, prefs::windowGap));
}

void WindowsPaneModel::setWindowGap(double points) {
    const double value = windowGapRange.controlValue(points);
    if (value != preferenceDouble(ports_.defaults, prefs::windowGap)) {
        preferences_.setDouble(text(prefs::windowGap), value);
    }
}

QString WindowsPaneModel::windowGapText() const {
    return formatWindowGap(preferenceDouble(ports_.defaults, prefs::windowGap));
}

QString WindowsPaneModel::formatWindowGap(double points) const {
    return text(tessera::windowGapText(ports_.localizer, points));
}

QVariantMap WindowsPaneModel::gapPreview() const {
    const auto preview = tessera::gapPreview(tessera::windowGap(ports_.defaults), tightEdges());
    return {{"width", preview.display.width},
            {"height", preview.display.height},
            {"left", rectMap(preview.left)},
            {"right", rectMap(preview.right)}};
}

bool WindowsPaneModel::snapOnDrag() const {
    return preferenceBool(ports_.defaults, prefs::snapOnDrag);
}

void WindowsPaneModel::setSnapOnDrag(bool on) {
    preferences_.setBool(text(prefs::snapOnDrag), on);
}

bool WindowsPaneModel::restoreOnDragOut() const {
    return preferenceBool(ports_.defaults, prefs::restoreOnDragOut);
}

void WindowsPaneModel::setRestoreOnDragOut(bool on) {
    preferences_.setBool(text(prefs::restoreOnDragOut), on);
}

bool WindowsPaneModel::returnToZonesOnReconnect() const {
    return preferenceBool(ports_.defaults, prefs::returnToZonesOnReconnect);
}

void WindowsPaneModel::setReturnToZonesOnReconnect(bool on) {
    preferences_.setBool(text(prefs::returnToZonesOnReconnect), on);
}

bool WindowsPaneModel::openInLastZone() const {
    return preferenceBool(ports_.defaults, prefs::openInLastZone);
}

void WindowsPaneModel::setOpenInLastZone(bool on) {
    preferences_.setBool(text(prefs::openInLastZone), on);
}

bool WindowsPaneModel::tightEdges() const {
    return preferenceBool(ports_.defaults, prefs::tightEdges);
}

void WindowsPaneModel::setTightEdges(bool on) {
    if (!tightEdgesEnabled() || on == tightEdges()) {
        return;
    }
    preferences_.setBool(text(prefs::tightEdges), on);
}

bool WindowsPaneModel::tightEdgesEnabled() const {
    return tightEdgesEditable(preferenceDouble(ports_.defaults, prefs::windowGap));
}

int WindowsPaneModel::gridColumns() const {
    const auto columns = tessera::gridColumns(ports_.defaults);
    // A hand-edited count beyond int is no choice of the picker; cut down it could pose as one.
    return columns >= std::numeric_limits<int>::min() && columns <= std::numeric_limits<int>::max()
               ? static_cast<int>(columns)
               : 0;
}

void WindowsPaneModel::setGridColumns(int columns) {
    if (!isOfferedGridColumns(columns) || columns == gridColumns()) {
        return;
    }
    preferences_.setInteger(text(prefs::gridColumns), columns);
}

QVariantMap WindowsPaneModel::gridPicker(const QString& screenID, int boundColumns) const {
    const auto& screens = ports_.state.screens();
    std::optional<ScreenInfo> screen;
    const auto wanted = screenID.toStdString();
    const auto found =
        std::find_if(screens.begin(), screens.end(),
                     [&wanted](const ScreenInfo& info) { return info.id == wanted; });
    if (found != screens.end()) {
        screen = *found;
    } else if (!screens.empty()) {
        screen = screens.front();
    }

    const auto model = gridPickerModel(screen, boundColumns);
    const Rect miniature{0, 0, model.miniatureWidth, model.miniatureHeight};
    QVariantList tiles;
    for (const auto& tile : model.tiles) {
        QVariantList lines;
        for (const auto& line : gridLines(tile.grid, miniature)) {
            lines.push_back(QVariantList{line.from.x, line.from.y, line.to.x, line.to.y});
        }
        tiles.push_back(QVariantMap{{"columns", static_cast<int>(tile.columns)},
                                    {"rows", static_cast<int>(tile.grid.rows)},
                                    {"title", text(tile.title)},
                                    {"selected", tile.selected},
                                    {"lines", lines}});
    }
    return {{"miniatureWidth", model.miniatureWidth},
            {"miniatureHeight", model.miniatureHeight},
            {"tileWidth", GridPickerModel::tileWidth},
            {"tileSpacing", GridPickerModel::tileSpacing},
            {"tilesPerRow", GridPickerModel::tilesPerRow},
            {"tiles", tiles}};
}

} // namespace tessera::shell
