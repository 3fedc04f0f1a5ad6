#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace lm {

// For measurements: when LMSIGN_JOB_TRACE names a file, one line is appended to it for every
// job file written, tab-separated:
//   job <display> <line 1, without its blanks> <real-time µs>
// The displays' LMSIGN_TICK_TRACE gives the other side of each hand-off on the same clock.
class JobTrace {
public:
    static std::unique_ptr<JobTrace> fromEnvironment();
    explicit JobTrace(std::FILE* file) : m_file(file) {}
    ~JobTrace();
    JobTrace(const JobTrace&) = delete;
    JobTrace& operator=(const JobTrace&) = delete;

    void written(int display, const std::string& head, std::int64_t realUs);

private:
    std::FILE* m_file;
};

} // namespace lm
