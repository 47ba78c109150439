#include "TextRecognition.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cctype>
#include <tuple>

namespace tessera::screenshots {

namespace {

// The texts shown use typographic apostrophes and quotes; the recognizer reads either kind.
std::string plainQuotes(std::string_view text) {
    static const std::vector<std::pair<std::string_view, std::string_view>> replacements = {
        {"\u2019", "'"}, {"\u2018", "'"}, {"\u201C", "\""}, {"\u201D", "\""}, {"\u2026", "..."}};
    std::string result(text);
    for (const auto& [from, to] : replacements) {
        for (auto at = result.find(from); at != std::string::npos;
             at = result.find(from, at + to.size())) {
            result.replace(at, from.size(), to);
        }
    }
    return result;
}

} // namespace

std::string normalizedText(std::string_view text) {
    std::string result;
    bool pendingSpace = false;
    for (const char c : plainQuotes(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isspace(byte)) {
            pendingSpace = !result.empty();
            continue;
        }
        if (pendingSpace) {
            result.push_back(' ');
            pendingSpace = false;
        }
        result.push_back(static_cast<char>(std::tolower(byte)));
    }
    return result;
}

std::vector<std::string> missingTexts(std::string_view recognized,
                                      const std::vector<std::string>& expected) {
    const auto haystack = normalizedText(recognized);
    std::vector<std::string> missing;
    std::copy_if(expected.begin(), expected.end(), std::back_inserter(missing),
                 [&](const std::string& text) {
                     return haystack.find(normalizedText(text)) == std::string::npos;
                 });
    return missing;
}

namespace {

// Black where the grey level is on the given side of the threshold, white elsewhere.
QImage inkOnly(const QImage& grey, int threshold, bool darkInk) {
    QImage result(grey.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* in = grey.constScanLine(y);
        uchar* out = result.scanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            const bool ink = darkInk ? in[x] < threshold : in[x] > threshold;
            out[x] = ink ? 0 : 255;
        }
    }
    return result;
}

// One reading of one picture by tesseract; the error text when it could not read.
Recognition readOnce(const QString& path, bool sparse) {
    QProcess tesseract;
    QStringList arguments{path, QStringLiteral("stdout"), QStringLiteral("-l"),
                          QStringLiteral("eng")};
    if (sparse) {
        arguments << QStringLiteral("--psm") << QStringLiteral("11");
    }
    tesseract.start(QStringLiteral("tesseract"), arguments);
    if (!tesseract.waitForStarted()) {
        return {{}, "tesseract could not be started (is tesseract-ocr installed?)"};
    }
    if (!tesseract.waitForFinished(120000) || tesseract.exitStatus() != QProcess::NormalExit ||
        tesseract.exitCode() != 0) {
        return {{},
                "tesseract failed on " + path.toStdString() + ": " +
                    QString::fromUtf8(tesseract.readAllStandardError()).trimmed().toStdString()};
    }
    return {QString::fromUtf8(tesseract.readAllStandardOutput()).toStdString(), {}};
}

} // namespace

Recognition recognizeText(const QString& pngPath) {
    const QImage picture(pngPath);
    if (picture.isNull()) {
        return {{}, "cannot read the picture " + pngPath.toStdString()};
    }
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        return {{}, "cannot create a temporary folder for the recognizer"};
    }
    const QImage grey =
        picture.convertToFormat(QImage::Format_Grayscale8)
            .scaled(picture.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Three readings: the picture as it is; dark text alone (labels on cards and panels, whose
    // outlines otherwise make the recognizer take them for pictures); light text alone (the
    // selected row, white on the accent colour); and the picture inverted, where that row's
    // text turns dark on a mid grey and needs no threshold. Each finds what the others miss.
    // The plain picture is also read as scattered text: read as a page, a sidebar label level
    // with a line of the pane beside it can be cut in two.
    QImage inverted = grey;
    inverted.invertPixels();
    const std::vector<std::tuple<QString, QImage, bool>> readings = {
        {QStringLiteral("plain.png"), grey, false},
        {QStringLiteral("scattered.png"), grey, true},
        {QStringLiteral("dark-ink.png"), inkOnly(grey, 77, true), false},
        {QStringLiteral("light-ink.png"), inkOnly(grey, 191, false), false},
        {QStringLiteral("inverted.png"), inverted, false},
    };
    Recognition all;
    for (const auto& [name, image, sparse] : readings) {
        const QString path = scratch.filePath(name);
        if (!image.save(path)) {
            return {{}, "cannot write " + path.toStdString()};
        }
        auto reading = readOnce(path, sparse);
        if (!reading.error.empty()) {
            return reading;
        }
        all.text += "--- " + name.toStdString() + "\n" + reading.text + "\n";
    }
    return all;
}

} // namespace tessera::screenshots
