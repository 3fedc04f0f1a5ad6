#include "UrgentMessage.h"

#include "ValueCheck.h"
#include "Vocabulary.h"

namespace lm {

std::string UrgentMessage::problem() const {
    if (text.empty()) {
        return std::string(emptyTextWarning);
    }
    for (const auto& [label, value] :
         {std::pair{fieldLabel::text, text}, std::pair{fieldLabel::textColour, textColour},
          std::pair{fieldLabel::backColour, backColour}}) {
        if (std::string warning = valueProblemWarning(label, value); !warning.empty()) {
            return warning;
        }
    }
    return {};
}

} // namespace lm
