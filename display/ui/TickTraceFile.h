#pragma once

#include "TickTrace.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace lm {

// The trace of LMSIGN_TICK_TRACE: one line per movement tick and per job start, appended to the
// file through a buffer that is written out once per handler. Tab-separated:
//   tick  <display> <head> <k> <scheduled µs> <handler µs> live|replayed [next|end|next+end
//         <answer written µs>]
//   start <display> <head> instant|arrival <instant µs or -> <handler µs> <why>
class TickTraceFile : public TickTrace {
public:
    // The file that LMSIGN_TICK_TRACE names, or nothing when it is unset or cannot be opened.
    static std::unique_ptr<TickTraceFile> fromEnvironment();
    explicit TickTraceFile(std::FILE* file) : m_file(file) {}
    ~TickTraceFile() override;
    TickTraceFile(const TickTraceFile&) = delete;
    TickTraceFile& operator=(const TickTraceFile&) = delete;

    void tick(const Tick& tick) override;
    void started(const Start& start) override;
    void flush() override;

private:
    std::FILE* m_file;
};

} // namespace lm
