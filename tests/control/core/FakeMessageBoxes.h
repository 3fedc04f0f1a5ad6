#pragma once

#include "MessageBoxes.h"

#include <deque>
#include <string>
#include <vector>

namespace lm::test {

// Message boxes answered by the test: questions take the queued answers in order (No when
// none is queued); every box shown is recorded.
class FakeMessageBoxes : public MessageBoxes {
public:
    struct Box {
        std::string text;
        std::string title;
        bool question = false;
    };

    std::vector<Box> shown;
    std::deque<bool> answers;

    void warn(const std::string& text, const std::string& title) override {
        shown.push_back({text, title, false});
    }
    bool askYesNo(const std::string& text, const std::string& title) override {
        shown.push_back({text, title, true});
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace lm::test
