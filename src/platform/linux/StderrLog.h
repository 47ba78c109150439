#pragma once

#include "core/platform/Log.h"

#include <iosfwd>

namespace tessera {

// The log of the Linux programs: one line per message on standard error,
// "tessera[<category>] <level>: <message>". Debug lines are written only when the log was made
// verbose; the caller decides that (tesseractl from TESSERA_DEBUG), so the log itself never reads
// the environment.
class StderrLog final : public Log {
public:
    explicit StderrLog(bool verbose = false);
    // Writes to the given stream instead of standard error; it must outlive the log.
    StderrLog(std::ostream& stream, bool verbose);

    void write(std::string_view category, LogLevel level, std::string_view message) override;
    bool isVerbose() const { return verbose_; }

private:
    std::ostream& stream_;
    bool verbose_;
};

} // namespace tessera
