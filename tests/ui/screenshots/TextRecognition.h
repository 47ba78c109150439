#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace tessera::screenshots {

// Text as compared on a screenshot: lower case, typographic quotes made plain, and every run of
// white space (line breaks included) one space, so a label wrapped or spaced differently by the
// recognizer still matches.
std::string normalizedText(std::string_view text);

// The expected texts that the recognized text lacks, in their order, compared normalized.
std::vector<std::string> missingTexts(std::string_view recognized,
                                      const std::vector<std::string>& expected);

struct Recognition {
    // What tesseract read, as it printed it.
    std::string text;
    // Why nothing could be read (tesseract missing, failed, or the picture unreadable); empty
    // when the text is valid.
    std::string error;
};

// Reads the English text in a PNG file with tesseract: the picture enlarged (screen text is small
// for a recognizer trained on scanned pages), then its dark and its light text alone; the text
// is every reading one after the other, each under a "--- <reading>" line.
Recognition recognizeText(const QString& pngPath);

} // namespace tessera::screenshots
