#pragma once

#include "FileChooser.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace lm::test {

// The modal chooser, answered by the test: each use takes the next queued answer (Cancel when
// none is queued) and records the mode it was opened in.
class FakeFileChooser : public FileChooser {
public:
    struct Answer {
        std::string result;
        std::string path;
        std::string name;
    };

    std::deque<Answer> answers;
    std::vector<std::string> modes;
    // Runs when the chooser opens, before it answers: lets a test look at the state then.
    std::function<void()> onOpen;

    void choose(ChooserVariables& vars) override {
        modes.push_back(vars.SMode);
        if (onOpen) {
            onOpen();
        }
        if (answers.empty()) {
            vars.SResult = chooserResultCancel;
            return;
        }
        const Answer answer = answers.front();
        answers.pop_front();
        vars.SResult = answer.result;
        vars.SPath = answer.path;
        vars.SName = answer.name;
    }
};

} // namespace lm::test
