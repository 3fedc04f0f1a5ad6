#include "JobTrace.h"

#include <QByteArray>
#include <QtGlobal>
#include <cinttypes>

namespace lm {

std::unique_ptr<JobTrace> JobTrace::fromEnvironment() {
    const QByteArray path = qgetenv("LMSIGN_JOB_TRACE");
    std::FILE* file = path.isEmpty() ? nullptr : std::fopen(path.constData(), "a");
    return file == nullptr ? nullptr : std::make_unique<JobTrace>(file);
}

JobTrace::~JobTrace() {
    std::fclose(m_file);
}

void JobTrace::written(int display, const std::string& head, std::int64_t realUs) {
    std::string trimmed = head;
    trimmed.erase(0, trimmed.find_first_not_of(' '));
    trimmed.erase(trimmed.find_last_not_of(' ') + 1);
    std::fprintf(m_file, "job\t%d\t%s\t%" PRId64 "\n", display, trimmed.c_str(), realUs);
    // Once per write: a job is seconds apart from the next, and the trace is read while it runs.
    std::fflush(m_file);
}

} // namespace lm
