#include "JobLines.h"

#include "Vocabulary.h"

namespace lm {

std::string itemNumberLine(int row) {
    return " " + std::to_string(row) + " ";
}

JobLines stopJob() {
    return {"-1",     std::string(vocabulary::kindText),
            "",       std::string(vocabulary::moveLeft),
            "",       "白",
            "暗い青", "中",
            "　　",   ""};
}

JobLines endJob() {
    JobLines lines = stopJob();
    lines[jobLine::kind] = vocabulary::kindEnd;
    return lines;
}

} // namespace lm
