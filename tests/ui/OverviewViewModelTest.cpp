#include "OverviewViewModel.h"
#include "Preferences.h"
#include "QtTestSupport.h"
#include "SimShell.h"

#include "core/app/Preferences.h"
#include "core/placement/CommandShortcuts.h"
#include "core/store/BuiltInLayouts.h"
#include "core/store/DisplayNames.h"
#include "core/store/LayoutStore.h"

#include <QFile>
#include <QImage>
#include <QQuickImageProvider>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>

namespace tessera::test {
namespace {

using shell::OverviewViewModel;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QVariantMap card(const OverviewViewModel& overview, int index) {
    return overview.monitors().at(index).toMap();
}

// A layout of the store that no display of the list shows.
Uuid unusedLayout(const AppState& state) {
    for (const auto& layout : state.store().layouts()) {
        const auto& screens = state.screens();
        if (std::none_of(screens.begin(), screens.end(), [&](const ScreenInfo& screen) {
                return state.layoutIDForDisplay(screen) == layout.id;
            })) {
            return layout.id;
        }
    }
    ADD_FAILURE() << "every layout is shown somewhere";
    return {};
}

class OverviewViewModelTest : public ::testing::Test {
protected:
    OverviewViewModelTest() {
        shell.start();
        processEvents();
    }

    OverviewViewModel& overview() { return shell.shell->overview(); }

    void setScreens(std::vector<SystemDisplay> screens) {
        shell.desktop.displays().setScreens(std::move(screens));
        shell.scheduler.runPending();
        processEvents();
    }

    SimShell shell;
};

TEST_F(OverviewViewModelTest, CardsFollowTheDisplaysOfTheState) {
    ASSERT_EQ(overview().monitors().size(), 1);
    const auto& builtIn = shell.state->screens().at(0);
    auto first = card(overview(), 0);
    EXPECT_EQ(first["id"].toString(), text(builtIn.id));
    EXPECT_EQ(first["name"].toString(), text(builtIn.name));
    EXPECT_DOUBLE_EQ(first["aspect"].toDouble(), 1440.0 / 900.0);
    EXPECT_EQ(first["layoutID"].toString(),
              text(shell.state->layoutIDForDisplay(builtIn).string()));
    const auto layout = shell.state->store().layoutFor(builtIn);
    const auto zones = first["zones"].toList();
    ASSERT_EQ(zones.size(), static_cast<qsizetype>(layout.zones.size()));
    for (const auto& zone : zones) {
        const auto rect = zone.toMap();
        // Zones stay on the display and carry a name to show.
        EXPECT_GE(rect["x"].toDouble(), 0.0);
        EXPECT_LE(rect["x"].toDouble() + rect["width"].toDouble(), 1.0 + 1e-9);
        EXPECT_GE(rect["y"].toDouble(), 0.0);
        EXPECT_LE(rect["y"].toDouble() + rect["height"].toDouble(), 1.0 + 1e-9);
        EXPECT_FALSE(rect["name"].toString().isEmpty());
    }

    EXPECT_EQ(emissions(&overview(), &OverviewViewModel::monitorsChanged,
                        [&] { setScreens(simscreens::sideBySide()); }),
              1);
    ASSERT_EQ(overview().monitors().size(), 2);
    EXPECT_EQ(card(overview(), 0)["id"].toString(), text(shell.state->screens().at(0).id));
    EXPECT_EQ(card(overview(), 1)["id"].toString(), text(shell.state->screens().at(1).id));
    EXPECT_DOUBLE_EQ(card(overview(), 1)["aspect"].toDouble(), 1920.0 / 1080.0);

    setScreens({});
    EXPECT_TRUE(overview().monitors().isEmpty());
    // The layouts stay to choose from.
    EXPECT_EQ(overview().layouts().size(),
              static_cast<qsizetype>(shell.state->store().layouts().size()));
}

TEST_F(OverviewViewModelTest, AnUnrelatedChangeOfTheStateRebuildsNothing) {
    EXPECT_EQ(emissions(&overview(), &OverviewViewModel::monitorsChanged,
                        [&] { shell.state->setPage(AppPage::about); }),
              0);
}

TEST_F(OverviewViewModelTest, AssigningFromOneCardChangesOnlyThatDisplay) {
    setScreens(simscreens::sideBySide());
    const auto screens = shell.state->screens();
    const auto firstBefore = shell.state->layoutIDForDisplay(screens[0]);
    const auto chosen = unusedLayout(*shell.state);

    EXPECT_TRUE(overview().assignLayout(text(screens[1].id), text(chosen.string())));
    // The store's change reaches the view model through the state, a turn later.
    shell.scheduler.runPending();
    processEvents();

    EXPECT_EQ(shell.state->layoutIDForDisplay(screens[1]), chosen);
    EXPECT_EQ(shell.state->layoutIDForDisplay(screens[0]), firstBefore);
    EXPECT_EQ(card(overview(), 1)["layoutID"].toString(), text(chosen.string()));
    EXPECT_EQ(card(overview(), 0)["layoutID"].toString(), text(firstBefore.string()));
}

TEST_F(OverviewViewModelTest, AssigningWhatDoesNotExistChangesNothing) {
    const auto before = shell.state->store().assignments();
    const auto screenID = text(shell.state->screens().at(0).id);
    const auto layoutID = text(unusedLayout(*shell.state).string());

    EXPECT_FALSE(overview().assignLayout(QStringLiteral("no such display"), layoutID));
    EXPECT_FALSE(overview().assignLayout(screenID, text(Uuid::random().string())));
    EXPECT_FALSE(overview().assignLayout(screenID, QStringLiteral("not a uuid")));
    EXPECT_EQ(shell.state->store().assignments(), before);

    // Identifiers are read in either case, as everywhere else.
    EXPECT_TRUE(overview().assignLayout(screenID, layoutID.toLower()));
    EXPECT_EQ(text(shell.state->layoutIDForDisplay(shell.state->screens().at(0)).string()),
              layoutID);
}

TEST_F(OverviewViewModelTest, KeyCapsShowTheStoredShortcutElseTheDefault) {
    const auto keysOf = [&](WindowCommand command) {
        const auto index = static_cast<qsizetype>(
            std::find(allWindowCommands.begin(), allWindowCommands.end(), command) -
            allWindowCommands.begin());
        const auto row = overview().commands().at(index).toMap();
        EXPECT_EQ(row["rawValue"].toString(), text(std::string(rawValue(command))));
        return row["keys"].toStringList();
    };
    EXPECT_EQ(keysOf(WindowCommand::fillScreen), (QStringList{"Alt", "Super", "Return"}));

    const auto store = [&](WindowCommand command, std::optional<KeyCombo> combo) {
        ASSERT_TRUE(setShortcut(command, combo, shell.defaults));
        shell.shell->preferences().notifyChanged(text(shortcutKey(command)));
    };
    EXPECT_EQ(emissions(&overview(), &OverviewViewModel::commandsChanged,
                        [&] {
                            store(WindowCommand::zoneLeft,
                                  KeyCombo{0, carbon::shiftKey | carbon::controlKey, "⌃⇧A"});
                        }),
              1);
    EXPECT_EQ(keysOf(WindowCommand::zoneLeft), (QStringList{"Ctrl", "Shift", "A"}));

    // A removed shortcut shows no keys: the default does not work then.
    store(WindowCommand::zoneLeft, std::nullopt);
    processEvents();
    EXPECT_TRUE(keysOf(WindowCommand::zoneLeft).isEmpty());

    ASSERT_TRUE(restoreDefaultShortcuts(shell.defaults));
    shell.shell->preferences().notifyChanged(text(shortcutKey(WindowCommand::zoneLeft)));
    processEvents();
    EXPECT_EQ(keysOf(WindowCommand::zoneLeft), (QStringList{"Ctrl", "Alt", "←"}));
}

TEST_F(OverviewViewModelTest, StoreChangesAreAnnouncedAgainThroughTheState) {
    const auto& screen = shell.state->screens().at(0);
    const auto chosen = unusedLayout(*shell.state);
    // Changed behind the view model's back, straight in the store.
    EXPECT_EQ(emissions(&overview(), &OverviewViewModel::monitorsChanged,
                        [&] { shell.state->store().assign(chosen, screen); }),
              0);
    EXPECT_EQ(emissions(&overview(), &OverviewViewModel::monitorsChanged,
                        [&] { shell.scheduler.runPending(); }),
              1);
    EXPECT_EQ(card(overview(), 0)["layoutID"].toString(), text(chosen.string()));

    Layout added{Uuid::random(), "Mine", {}};
    EXPECT_EQ(emissions(&overview(), &OverviewViewModel::layoutsChanged,
                        [&] {
                            shell.state->store().upsert(added);
                            shell.scheduler.runPending();
                        }),
              1);
    const auto names = overview().layouts();
    EXPECT_TRUE(std::any_of(names.begin(), names.end(), [&](const QVariant& entry) {
        return entry.toMap()["id"].toString() == text(added.id.string());
    }));
}

class OverviewPictureTest : public OverviewViewModelTest {
protected:
    QString writePicture(const char* name, int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const auto path = QString::fromStdString((shell.temp.path() / name).string());
        EXPECT_TRUE(image.save(path));
        return path;
    }

    bool waitForPictures(int count) {
        return QTest::qWaitFor([&] {
            const auto cards = overview().monitors();
            return std::count_if(cards.begin(), cards.end(), [](const QVariant& entry) {
                       return !entry.toMap()["pictureSource"].toString().isEmpty();
                   }) == count;
        });
    }
};

TEST_F(OverviewPictureTest, EachDisplayShowsItsOwnPictureAsAThumbnail) {
    setScreens(simscreens::sideBySide());
    const auto builtIn = text(shell.state->screens().at(0).id);
    const auto external = text(shell.state->screens().at(1).id);
    const auto wide = writePicture("wide.png", 4000, 1000);
    const auto small = writePicture("small.png", 500, 800);
    overview().setPictureLocator(
        [=](const QString& screenID) { return screenID == builtIn ? wide : small; });

    ASSERT_TRUE(waitForPictures(2));
    EXPECT_EQ(overview().picture(builtIn).size(), QSize(1600, 400));
    EXPECT_EQ(overview().picture(external).size(), QSize(500, 800));

    // QML reads the same pictures through the provider, at the address of the card.
    const auto provider = overview().makePictureProvider();
    for (const auto& [index, expected] : {std::pair{0, QSize(1600, 400)}, {1, QSize(500, 800)}}) {
        const auto source = card(overview(), index)["pictureSource"].toString();
        ASSERT_TRUE(source.startsWith(QStringLiteral("image://desktop/"))) << source.toStdString();
        QSize size;
        const auto image = provider->requestImage(
            source.mid(QStringLiteral("image://desktop/").size()), &size, QSize());
        EXPECT_EQ(image.size(), expected);
        EXPECT_EQ(size, expected);
    }

    // A display that goes takes its picture along; coming back, it loads again.
    setScreens(simscreens::single());
    EXPECT_TRUE(overview().picture(external).isNull());
    EXPECT_FALSE(overview().picture(builtIn).isNull());
    setScreens(simscreens::sideBySide());
    ASSERT_TRUE(waitForPictures(2));
    EXPECT_EQ(overview().picture(external).size(), QSize(500, 800));
}

TEST_F(OverviewPictureTest, WithoutAPictureTheCardHasNone) {
    const auto broken = QString::fromStdString((shell.temp.path() / "broken.png").string());
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    std::atomic<int> asked = 0;
    overview().setPictureLocator([&asked](const QString&) {
        ++asked;
        return QString();
    });
    QThreadPool::globalInstance()->waitForDone();
    processEvents();
    EXPECT_EQ(asked.load(), 1);
    EXPECT_TRUE(card(overview(), 0)["pictureSource"].toString().isEmpty());

    overview().setPictureLocator([broken](const QString&) { return broken; });
    QThreadPool::globalInstance()->waitForDone();
    processEvents();
    EXPECT_TRUE(card(overview(), 0)["pictureSource"].toString().isEmpty());
    EXPECT_TRUE(overview().picture(card(overview(), 0)["id"].toString()).isNull());
}

} // namespace
} // namespace tessera::test
