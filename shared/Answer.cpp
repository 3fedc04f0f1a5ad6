#include "Answer.h"

#include "NumberText.h"

namespace lm {

Answer Answer::parse(std::string_view line) {
    Answer answer;
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) {
        answer.field1 = std::string(line);
        return answer;
    }
    answer.field1 = std::string(line.substr(0, comma));
    std::string_view rest = line.substr(comma + 1);
    while (!rest.empty() && rest.front() == ' ') {
        rest.remove_prefix(1);
    }
    answer.field2 = std::string(rest);
    return answer;
}

double Answer::value() const {
    return numericValue(field1);
}

} // namespace lm
