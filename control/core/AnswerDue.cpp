#include "AnswerDue.h"

#include "SpeedTable.h"
#include "TextRules.h"
#include "Vocabulary.h"

#include <algorithm>

namespace lm {

namespace {

constexpr std::int64_t shortTickMs = 100; // texts and still pictures
constexpr std::int64_t movingPictureTickMs = 300;
// Beyond any show: a text this long would run for days.
constexpr std::int64_t longestText = 1'000'000;

} // namespace

AnswerDue AnswerDue::of(const JobLines& job) {
    const std::string& kind = job[jobLine::kind];
    const std::string& movement = job[jobLine::movement];
    const std::string& speed = job[jobLine::speed];
    if (kind == vocabulary::kindText) {
        const std::int64_t divisor = speedTable::divisor(speed, speedTable::Mode::Text);
        const auto characters = static_cast<std::int64_t>(
            std::min<std::size_t>(characterCount(job[jobLine::text]), longestText));
        // The head reaches the left edge after one window width; the end answer comes one tick
        // before the text, counted as width / 1.3 a character, has left as well.
        const std::int64_t endTicks = (divisor * (13 + 10 * characters) + 12) / 13 - 1;
        AnswerDue due{std::nullopt, endTicks * shortTickMs};
        if (characters > 0) {
            due.nextMs = divisor * shortTickMs;
        }
        return due;
    }
    if (kind != vocabulary::kindPicture) {
        return {};
    }
    const std::int64_t divisor = speedTable::divisor(speed, speedTable::Mode::Picture);
    // Two window widths, the last tick one before the picture has left.
    if (movement == vocabulary::moveLeft) {
        return {divisor * movingPictureTickMs, (2 * divisor - 1) * movingPictureTickMs};
    }
    if (movement == vocabulary::moveStill) {
        return {divisor * shortTickMs, (2 * divisor - 1) * shortTickMs};
    }
    return {};
}

} // namespace lm
