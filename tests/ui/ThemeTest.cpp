// How the application looks: its colours in both schemes, the scheme of the main window and of
// the overlay, and the icons it draws from the desktop's icon theme.

#include "Theme.h"
#include "AppViewModel.h"
#include "OverlayViewModel.h"
#include "Preferences.h"
#include "SimShell.h"
#include "SymbolImageProvider.h"

#include "../unit/TempDir.h"
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
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace tessera::test {
namespace {

// Puts the application's palette back as it was when the test began.
struct Looks : ::testing::Test {
    ~Looks() override { QGuiApplication::setPalette(saved); }
    const QPalette saved = QGuiApplication::palette();
};

// The contrast ratio of two colours as the accessibility guidelines define it (1 to 21).
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& color) {
        const auto linear = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
               0.0722 * linear(color.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(Looks, TextReadsAt4And5To1AndIconsAt3To1OnEveryBackgroundOfBothSchemes) {
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        shell::applyColorScheme(dark);
        QQmlEngine engine;
        QQmlComponent probe(&engine);
        probe.setData("import QtQuick\nQtObject {"
                      " property var text: [Theme.warning, Theme.secondaryText];"
                      " property var shapes: [Theme.iconColor, Theme.success] }",
                      shell::moduleFile(QStringLiteral("ThemeProbe.qml")));
        const std::unique_ptr<QObject> theme(probe.create());
        ASSERT_NE(theme, nullptr) << probe.errorString().toStdString();
        const QPalette palette = QGuiApplication::palette();
        const QColor window = palette.window().color();
        // Pages, section cards (SectionBox) and fields.
        for (const QColor& background : {window, window.lighter(104), palette.base().color()}) {
            for (const auto& [colours, least] : {std::pair{"text", 4.5}, {"shapes", 3.0}}) {
                for (const auto& value : theme->property(colours).toList()) {
                    const QColor colour(value.toString());
                    EXPECT_GE(contrast(colour, background), least)
                        << colour.name().toStdString() << " on " << background.name().toStdString();
                }
            }
        }
    }
}

TEST_F(Looks, AppearanceIsTheMainWindowsSchemeOnlyTheOverlayKeepsTheDesktops) {
    for (const bool desktopDark : {false, true}) {
        SCOPED_TRACE(desktopDark ? "dark desktop" : "light desktop");
        shell::applyColorScheme(desktopDark); // the palette Tessera finds at start
        const shell::DesktopColorScheme desktop;
        SimShell sim;
        auto& app = sim.shell->app();
        shell::followAppearance(app, desktop);
        const auto state =
            std::make_shared<OverlayState>(OverlayScreenModel{"d", {0, 0, 800, 600}, {}, {}});
        // What the application gives its overlay windows.
        const shell::OverlayViewModel overlay(
            state, {sim.defaults, [&desktop] { return desktop.dark(); }, {}}, {800, 600});
        EXPECT_EQ(app.appearance(), "system");

        for (const char* appearance : {"dark", "light", "system"}) {
            SCOPED_TRACE(appearance);
            sim.shell->preferences().setString("appearance", appearance);
            const std::string chosen = app.appearance().toStdString();
            const bool windowDark = chosen == "system" ? desktopDark : chosen == "dark";
            EXPECT_EQ(QGuiApplication::palette().window().color().lightness() < 128, windowDark);
            state->setVisible(!state->visible()); // renders again, reading the scheme afresh
            EXPECT_EQ(overlay.dark(), desktopDark);
        }
    }
}

QImage drawn(const QString& id) {
    QSize size;
    return shell::SymbolImageProvider()
        .requestPixmap(id, &size, QSize(32, 32))
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

// How many pixels are drawn (mostly opaque), and whether all of them have `rgb`.
std::pair<int, bool> inked(const QImage& image, QRgb rgb = 0) {
    int count = 0;
    bool allOfIt = true;
    for (int i = 0; i < image.width() * image.height(); ++i) {
        const QRgb pixel = image.pixel(i % image.width(), i / image.width());
        count += qAlpha(pixel) > 128 ? 1 : 0;
        allOfIt = allOfIt && (qAlpha(pixel) <= 128 || contrast(QColor(pixel), rgb) < 1.05);
    }
    return {count, allOfIt};
}

TEST(SymbolIcons, EverySymbolNamedHasABundledThemeIconDrawnInTheColourAskedFor) {
    QSet<QString> symbols{QString::fromUtf8(missingPermissionIcon.data())};
    const auto add = [&symbols](std::string_view symbol) {
        symbols.insert(QString::fromUtf8(symbol.data(), static_cast<qsizetype>(symbol.size())));
    };
    for (const auto page : allAppPages) {
        add(info(page).icon);
    }
    for (const auto pane : allSettingsPanes) {
        add(info(pane).icon);
    }
    for (const auto command : allWindowCommands) {
        add(info(command).symbol);
    }
    for (const auto& item : zoneMenuItems()) {
        add(item.image);
    }
    // Symbols.source("…"), SymbolIcon { name: "…" } and the overview tips' icon: "…".
    const QRegularExpression named(
        R"re((?:Symbols\.source\(|\bname:\s*|\bicon:\s*)"([a-z0-9.]+)")re");
    for (QDirIterator qml(":/qt/qml/Tessera", {"*.qml"}, QDir::Files); qml.hasNext();) {
        QFile file(qml.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (const auto& match : named.globalMatch(QString::fromUtf8(file.readAll()))) {
            symbols.insert(match.captured(1));
        }
    }
    EXPECT_GT(symbols.size(), 25);
    for (const auto& symbol : symbols) {
        const auto icon = shell::themeIconName(symbol);
        EXPECT_TRUE(QFile::exists(shell::bundledIconPath(icon.name)) &&
                    icon.name.endsWith("-symbolic"))
            << symbol.toStdString() << " has no bundled symbolic icon";
        const auto [count, inColour] = inked(drawn(symbol + "?color=%23ececee"), 0xececee);
        EXPECT_GT(count, 20) << symbol.toStdString();
        EXPECT_TRUE(inColour) << symbol.toStdString();
    }
    EXPECT_EQ(inked(drawn("no.such.symbol")).first, 0);
    // Filling the screen and an empty layout look different; themes draw one split way only.
    EXPECT_NE(shell::themeIconName("arrow.up.left.and.arrow.down.right").name,
              shell::themeIconName("rectangle.dashed.badge.record").name);
    EXPECT_EQ(drawn("rectangle.split.1x2"),
              drawn("rectangle.split.2x1").transformed(QTransform().rotate(90)));
}

TEST(SymbolIcons, TheDesktopsThemeComesFirstButOnlyWithTheVeryNameAsked) {
    const TempDir dir{"tessera-icons"};
    const auto folder = dir.path() / "Desk" / "scalable";
    std::filesystem::create_directories(folder);
    std::ofstream(dir.path() / "Desk" / "index.theme")
        << "[Icon Theme]\nName=Desk\nDirectories=scalable\n\n[scalable]\nSize=16\nMinSize=8\n"
           "MaxSize=512\nType=Scalable\n";
    // A full square, unlike any bundled icon: as the eye, and as the full-colour "go-first"
    // that Qt offers for a missing "go-first-symbolic".
    for (const char* name : {"view-reveal-symbolic.svg", "go-first.svg"}) {
        std::ofstream(folder / name) << "<svg xmlns='http://www.w3.org/2000/svg' width='16' "
                                        "height='16'><rect width='16' height='16'/></svg>";
    }
    const QString savedName = QIcon::themeName();
    const QStringList savedPaths = QIcon::themeSearchPaths();
    QIcon::setThemeSearchPaths({QString::fromStdString(dir.path().string())});
    QIcon::setThemeName("Desk");

    EXPECT_EQ(inked(drawn("eye")).first, 32 * 32);
    const int arrow = inked(drawn("rectangle.lefthalf.inset.filled.arrow.left")).first;
    EXPECT_TRUE(arrow > 0 && arrow < 32 * 32 / 2) << arrow << " pixels: not the bundled arrow";

    QIcon::setThemeName(savedName);
    QIcon::setThemeSearchPaths(savedPaths);
}

} // namespace
} // namespace tessera::test
