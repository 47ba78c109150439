// How the application looks: its colours in both schemes, the scheme the overlay takes, and the
// icons it draws from the desktop's icon theme.

#include "Theme.h"
#include "AppViewModel.h"
#include "OverlayViewModel.h"
#include "SimShell.h"
#include "SymbolImageProvider.h"

#include "../unit/TempDir.h"
#include "core/app/Preferences.h"
#include "core/editor/ZoneCanvasModel.h"
#include "core/placement/WindowCommand.h"
#include "core/ui/Pages.h"

#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>

namespace tessera::test {
namespace {

// Puts the application's palette back as it was when the test began.
class KeepsPalette : public ::testing::Test {
protected:
    ~KeepsPalette() override { QGuiApplication::setPalette(saved_); }

private:
    QPalette saved_ = QGuiApplication::palette();
};

// The contrast ratio of two colours as the accessibility guidelines define it (1 to 21).
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& color) {
        const auto channel = [](double value) {
            return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
               0.0722 * channel(color.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

using ThemeColours = KeepsPalette;

TEST_F(ThemeColours, TextAndIconsReadOnEveryBackgroundOfBothSchemes) {
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        shell::applyColorScheme(dark);
        QQmlEngine engine;
        QQmlComponent probe(&engine);
        probe.setData("import QtQuick\nimport \"../controls\"\n"
                      "QtObject { property color warning: Theme.warning;"
                      " property color secondary: Theme.secondaryText;"
                      " property color success: Theme.success;"
                      " property color icon: Theme.iconColor }",
                      QUrl(QStringLiteral("qrc:/qml/pages/ThemeProbe.qml")));
        const std::unique_ptr<QObject> theme(probe.create());
        ASSERT_NE(theme, nullptr) << probe.errorString().toStdString();

        const QPalette palette = QGuiApplication::palette();
        const QColor window = palette.color(QPalette::Window);
        // Pages, section cards (SectionBox) and fields.
        for (const QColor& background : {window, window.lighter(104), palette.base().color()}) {
            SCOPED_TRACE(background.name().toStdString());
            for (const char* text : {"warning", "secondary"}) {
                EXPECT_GE(contrast(theme->property(text).value<QColor>(), background), 4.5) << text;
            }
            // Shapes need 3:1: the icons, and the success mark.
            for (const char* shape : {"icon", "success"}) {
                EXPECT_GE(contrast(theme->property(shape).value<QColor>(), background), 3.0)
                    << shape;
            }
        }
    }
}

using OverlayScheme = KeepsPalette;

TEST_F(OverlayScheme, FollowsTheDesktopWhateverTheMainWindowShows) {
    for (const bool desktopDark : {false, true}) {
        SCOPED_TRACE(desktopDark ? "dark desktop" : "light desktop");
        // The desktop's palette, as the application finds it at start.
        shell::applyColorScheme(desktopDark);
        const shell::DesktopColorScheme desktop;
        SimShell sim;
        sim.start();
        auto& app = sim.shell->app();
        shell::followAppearance(app, desktop);
        registerPreferenceDefaults(sim.defaults);
        const auto state =
            std::make_shared<OverlayState>(OverlayScreenModel{"d", {0, 0, 800, 600}, {}, {}});
        // What the application gives its overlay windows.
        shell::OverlayViewModel overlay(
            state, {sim.defaults, [&desktop] { return desktop.dark(); }, {}}, {800, 600});

        for (const char* appearance : {"dark", "light", "system"}) {
            SCOPED_TRACE(appearance);
            app.setAppearance(QString::fromLatin1(appearance));
            const bool windowDark =
                QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
            EXPECT_EQ(windowDark, std::string_view(appearance) == "system"
                                      ? desktopDark
                                      : std::string_view(appearance) == "dark");
            // Every change of the state renders again, reading the scheme afresh.
            state->setVisible(!state->visible());
            EXPECT_EQ(overlay.dark(), desktopDark);
        }
    }
}

// Every symbol that the core or the QML names, each once.
QSet<QString> symbolsTheInterfaceNames() {
    QSet<QString> symbols;
    const auto add = [&symbols](std::string_view symbol) {
        symbols.insert(QString::fromUtf8(symbol.data(), static_cast<qsizetype>(symbol.size())));
    };
    for (const auto page : allAppPages) {
        add(info(page).icon);
    }
    for (const auto pane : allSettingsPanes) {
        add(info(pane).icon);
    }
    add(missingPermissionIcon);
    for (const auto command : allWindowCommands) {
        add(info(command).symbol);
    }
    for (const auto& item : zoneMenuItems()) {
        add(item.image);
    }
    // Symbols.source("…"), SymbolIcon { name: "…" } and the tips' icon: "…".
    const QRegularExpression named(
        QStringLiteral(R"re((?:Symbols\.source\(|\bname:\s*|\bicon:\s*)"([a-z0-9.]+)")re"));
    QDirIterator files(QStringLiteral(":/qml"), {QStringLiteral("*.qml")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        const QString source = QString::fromUtf8(file.readAll());
        for (const auto& match : named.globalMatch(source)) {
            symbols.insert(match.captured(1));
        }
    }
    return symbols;
}

TEST(SymbolIcons, EverySymbolHasAThemeIconWithABundledCopy) {
    const auto symbols = symbolsTheInterfaceNames();
    // The pages, panes and commands alone name more than twenty.
    EXPECT_GT(symbols.size(), 25);
    for (const auto& symbol : symbols) {
        const auto icon = shell::themeIconName(symbol);
        EXPECT_TRUE(icon.name.endsWith(QLatin1String("-symbolic")))
            << symbol.toStdString() << " has no symbolic theme icon";
        EXPECT_TRUE(QFile::exists(shell::bundledIconPath(icon.name)))
            << icon.name.toStdString() << " is not bundled";
    }
    // Filling the screen and an empty layout look different.
    EXPECT_NE(shell::themeIconName("arrow.up.left.and.arrow.down.right").name,
              shell::themeIconName("rectangle.dashed.badge.record").name);
}

QImage drawn(const QString& id) {
    shell::SymbolImageProvider provider;
    QSize size;
    return provider.requestPixmap(id, &size, QSize(32, 32))
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

// How many pixels are drawn, and whether all of them (those not mostly transparent) have `rgb`.
std::pair<int, bool> inked(const QImage& image, QRgb rgb) {
    int count = 0;
    bool allOfIt = true;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) > 128) {
                ++count;
                allOfIt = allOfIt && std::abs(qRed(pixel) - qRed(rgb)) <= 2 &&
                          std::abs(qGreen(pixel) - qGreen(rgb)) <= 2 &&
                          std::abs(qBlue(pixel) - qBlue(rgb)) <= 2;
            }
        }
    }
    return {count, allOfIt};
}

TEST(SymbolIcons, AreDrawnInTheColourAskedForAndTurnedWhereThemesHaveOneWayOnly) {
    const auto light = inked(drawn(QStringLiteral("eye?color=%23ececee")), qRgb(0xec, 0xec, 0xee));
    EXPECT_GT(light.first, 40) << "hardly anything drawn";
    EXPECT_TRUE(light.second) << "not all in the colour asked for";
    EXPECT_EQ(inked(drawn(QStringLiteral("no.such.symbol")), 0).first, 0);

    const QImage sideBySide = drawn(QStringLiteral("rectangle.split.2x1"));
    EXPECT_EQ(drawn(QStringLiteral("rectangle.split.1x2")),
              sideBySide.transformed(QTransform().rotate(90)));
    EXPECT_NE(drawn(QStringLiteral("rectangle.split.1x2")), sideBySide);
}

// A desktop icon theme in a temporary folder, made current while the test runs.
class DesktopIconTheme : public ::testing::Test {
protected:
    DesktopIconTheme() {
        const auto folder = dir.path() / "Desk" / "scalable";
        std::filesystem::create_directories(folder);
        std::ofstream(dir.path() / "Desk" / "index.theme")
            << "[Icon Theme]\nName=Desk\nDirectories=scalable\n\n[scalable]\nSize=16\n"
               "MinSize=8\nMaxSize=512\nType=Scalable\n";
        // A full square, unlike any of the bundled icons.
        const char* square = "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                             "<rect width='16' height='16' fill='#2e3436'/></svg>";
        std::ofstream(folder / "view-reveal-symbolic.svg") << square;
        // A full-colour icon whose name the symbolic one shortens to.
        std::ofstream(folder / "go-first.svg") << square;
        QIcon::setThemeSearchPaths({QString::fromStdString(dir.path().string())});
        QIcon::setThemeName(QStringLiteral("Desk"));
    }
    ~DesktopIconTheme() override {
        QIcon::setThemeName(savedName_);
        QIcon::setThemeSearchPaths(savedPaths_);
    }

    TempDir dir{"tessera-icons"};

private:
    QString savedName_ = QIcon::themeName();
    QStringList savedPaths_ = QIcon::themeSearchPaths();
};

TEST_F(DesktopIconTheme, IsPreferredAndOnlyForTheVeryNameAsked) {
    // The theme's own eye: every pixel drawn.
    EXPECT_EQ(inked(drawn(QStringLiteral("eye?color=%23000000")), qRgb(0, 0, 0)).first, 32 * 32);
    // No "go-first-symbolic" in the theme: the bundled arrow, not the shorter name's square.
    const int arrow =
        inked(drawn(QStringLiteral("rectangle.lefthalf.inset.filled.arrow.left")), 0).first;
    EXPECT_GT(arrow, 0);
    EXPECT_LT(arrow, 32 * 32 / 2);
}

} // namespace
} // namespace tessera::test
