#include "TickTraceFile.h"

#include <cinttypes>
#include <cstdlib>

namespace lm {

std::unique_ptr<TickTraceFile> TickTraceFile::fromEnvironment() {
    const char* name = std::getenv("LMSIGN_TICK_TRACE");
    if (name == nullptr || *name == '\0') {
        return nullptr;
    }
    std::FILE* file = std::fopen(name, "ae");
    return file != nullptr ? std::make_unique<TickTraceFile>(file) : nullptr;
}

TickTraceFile::~TickTraceFile() {
    std::fclose(m_file);
}

void TickTraceFile::tick(const Tick& tick) {
    std::fprintf(m_file, "tick\t%d\t%.*s\t%" PRId64 "\t%" PRId64 "\t%" PRId64 "\t%s\t%.*s",
                 tick.display, static_cast<int>(tick.head.size()), tick.head.data(), tick.k,
                 tick.scheduledUs, tick.actualUs, tick.replayed ? "replayed" : "live",
                 static_cast<int>(tick.answer.size()), tick.answer.data());
    if (tick.answeredUs != 0) {
        std::fprintf(m_file, "\t%" PRId64, tick.answeredUs);
    }
    std::fputc('\n', m_file);
}

void TickTraceFile::started(const Start& start) {
    std::fprintf(m_file, "start\t%d\t%.*s\t%s\t", start.display,
                 static_cast<int>(start.head.size()), start.head.data(),
                 start.instantUs ? "instant" : "arrival");
    if (start.instantUs) {
        std::fprintf(m_file, "%" PRId64, *start.instantUs);
    } else {
        std::fputc('-', m_file);
    }
    std::fprintf(m_file, "\t%" PRId64 "\t%.*s\n", start.actualUs,
                 static_cast<int>(start.why.size()), start.why.data());
}

void TickTraceFile::flush() {
    std::fflush(m_file);
}

} // namespace lm
