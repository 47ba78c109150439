#include "OverviewViewModel.h"
#include "QtTestSupport.h"
#include "SimShell.h"

#include "core/store/LayoutStore.h"

#include <QFile>
#include <QImage>
#include <QQuickImageProvider>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

namespace tessera::test {
namespace {

using shell::OverviewViewModel;

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

class OverviewViewModelTest : public ShellTest {
protected:
    OverviewViewModel& overview() { return sim.shell->overview(); }

    void setScreens(std::vector<SystemDisplay> screens) {
        sim.desktop.displays().setScreens(std::move(screens));
        sim.scheduler.runPending();
        processEvents();
    }
};

// The cards' contents, choosing a layout and the keys: tst_overview.qml.
TEST_F(OverviewViewModelTest, CardsAndLayoutsAreAnnouncedWhenDisplaysOrTheStoreChangeOnly) {
    const auto monitorsChanged = [&](auto act) {
        return emissions(&overview(), &OverviewViewModel::monitorsChanged, act);
    };
    EXPECT_EQ(monitorsChanged([&] { sim.state->setPage(AppPage::about); }), 0);
    EXPECT_EQ(monitorsChanged([&] { setScreens(simscreens::sideBySide()); }), 1);
    ASSERT_EQ(overview().monitors().size(), 2);
    EXPECT_DOUBLE_EQ(card(overview(), 1)["aspect"].toDouble(), 1920.0 / 1080.0);

    // Assigning: only to that display, and nothing that doesn't exist.
    const auto screens = sim.state->screens();
    const auto firstBefore = sim.state->layoutIDForDisplay(screens[0]);
    const auto unused = unusedLayout(*sim.state);
    const auto chosen = qtext(unused.string());
    const auto before = sim.state->store().assignments();
    EXPECT_FALSE(overview().assignLayout(QStringLiteral("no such display"), chosen));
    EXPECT_FALSE(overview().assignLayout(qtext(screens[1].id), qtext(Uuid::random().string())));
    EXPECT_FALSE(overview().assignLayout(qtext(screens[1].id), QStringLiteral("not a uuid")));
    EXPECT_EQ(sim.state->store().assignments(), before);
    // Identifiers are read in either case, as everywhere else.
    EXPECT_TRUE(overview().assignLayout(qtext(screens[1].id), chosen.toLower()));
    EXPECT_EQ(sim.state->layoutIDForDisplay(screens[1]), unused);
    EXPECT_EQ(sim.state->layoutIDForDisplay(screens[0]), firstBefore);

    // Changed behind the view model's back, straight in the store: told through the state.
    const auto other = unusedLayout(*sim.state);
    EXPECT_EQ(monitorsChanged([&] { sim.state->store().assign(other, screens[1]); }), 0);
    EXPECT_EQ(monitorsChanged([&] { sim.scheduler.runPending(); }), 1);
    EXPECT_EQ(card(overview(), 1)["layoutID"].toString(), qtext(other.string()));
    EXPECT_EQ(emissions(&overview(), &OverviewViewModel::layoutsChanged,
                        [&] {
                            sim.state->store().upsert(Layout{Uuid::random(), "Mine", {}});
                            sim.scheduler.runPending();
                        }),
              1);
    EXPECT_EQ(overview().layouts().size(), qsizetype(sim.state->store().layouts().size()));
    // Without displays the layouts stay to choose from.
    setScreens({});
    EXPECT_TRUE(overview().monitors().isEmpty());
    EXPECT_EQ(overview().layouts().size(), qsizetype(sim.state->store().layouts().size()));
}

TEST_F(OverviewViewModelTest, EachDisplayShowsItsOwnPictureAsAThumbnailOrNone) {
    const auto writePicture = [&](const char* name, int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const auto path = QString::fromStdString((sim.temp.path() / name).string());
        EXPECT_TRUE(image.save(path));
        return path;
    };
    const auto waitForPictures = [&](int count) {
        return QTest::qWaitFor([&] {
            return std::ranges::count_if(overview().monitors(), [](const QVariant& entry) {
                       return !entry.toMap()["pictureSource"].toString().isEmpty();
                   }) == count;
        });
    };
    // No picture, or one that can't be read: the card has none.
    const auto broken = QString::fromStdString((sim.temp.path() / "broken.png").string());
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    std::atomic<int> asked = 0;
    for (const auto& located : {QString(), broken}) {
        asked = 0;
        overview().setPictureLocator([&asked, located](const QString&) {
            ++asked;
            return located;
        });
        QThreadPool::globalInstance()->waitForDone();
        processEvents();
        EXPECT_EQ(asked.load(), 1);
        EXPECT_TRUE(card(overview(), 0)["pictureSource"].toString().isEmpty());
        EXPECT_TRUE(overview().picture(card(overview(), 0)["id"].toString()).isNull());
    }

    setScreens(simscreens::sideBySide());
    const auto builtIn = qtext(sim.state->screens().at(0).id);
    const auto external = qtext(sim.state->screens().at(1).id);
    const auto wide = writePicture("wide.png", 4000, 1000);
    const auto small = writePicture("small.png", 500, 800);
    overview().setPictureLocator(
        [=](const QString& screenID) { return screenID == builtIn ? wide : small; });

    ASSERT_TRUE(waitForPictures(2));
    EXPECT_EQ(overview().picture(builtIn).size(), QSize(1600, 400));
    EXPECT_EQ(overview().picture(external).size(), QSize(500, 800));

    // QML reads the same pictures through the provider, at the address of the card (the
    // second display's, so that the first one's picture can't pass for it).
    const auto provider = overview().makePictureProvider();
    const auto source = card(overview(), 1)["pictureSource"].toString();
    ASSERT_TRUE(source.startsWith(QStringLiteral("image://desktop/"))) << source.toStdString();
    QSize size;
    const auto image = provider->requestImage(source.mid(QStringLiteral("image://desktop/").size()),
                                              &size, QSize());
    EXPECT_EQ(image.size(), QSize(500, 800));
    EXPECT_EQ(size, QSize(500, 800));

    // A display that goes takes its picture along; coming back, it loads again.
    setScreens(simscreens::single());
    EXPECT_TRUE(overview().picture(external).isNull());
    EXPECT_FALSE(overview().picture(builtIn).isNull());
    setScreens(simscreens::sideBySide());
    ASSERT_TRUE(waitForPictures(2));
    EXPECT_EQ(overview().picture(external).size(), QSize(500, 800));
}

} // namespace
} // namespace tessera::test
