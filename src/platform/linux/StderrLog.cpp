#include "StderrLog.h"

#include <iostream>
#include <string>

namespace tessera {

namespace {

std::string_view levelName(LogLevel level) {
    switch (level) {
    case LogLevel::debug:
        return "debug";
    case LogLevel::info:
        return "info";
    case LogLevel::error:
        return "error";
    }
    return "info";
}

// A message holding a line break would pass for two lines, the second one unlabelled.
std::string oneLine(std::string_view message) {
    std::string line(message);
    for (auto& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return line;
}

} // namespace

StderrLog::StderrLog(bool verbose) : StderrLog(std::cerr, verbose) {}

StderrLog::StderrLog(std::ostream& stream, bool verbose) : stream_(stream), verbose_(verbose) {}

void StderrLog::write(std::string_view category, LogLevel level, std::string_view message) {
    if (level == LogLevel::debug && !verbose_) {
        return;
    }
    // One write per line, flushed, so lines of a process that is killed next are not lost and
    // lines of several writers don't interleave mid-line.
    std::string line = "tessera[";
    line.append(category);
    line += "] ";
    line += levelName(level);
    line += ": ";
    line += oneLine(message);
    line += '\n';
    stream_ << line << std::flush;
}

} // namespace tessera
