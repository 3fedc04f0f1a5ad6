#include "FilePattern.h"

namespace lm {

FilePattern::FilePattern(const QString& text) {
    for (const QString& part : text.split(QLatin1Char(';'))) {
        const QString pattern = part.trimmed();
        if (pattern.isEmpty()) {
            continue;
        }
        if (pattern == QLatin1String("*") || pattern == QLatin1String("*.*")) {
            m_everything = true;
            continue;
        }
        m_patterns.append(
            QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                               QRegularExpression::CaseInsensitiveOption));
    }
    // An empty pattern box filters nothing out.
    if (m_patterns.isEmpty()) {
        m_everything = true;
    }
}

bool FilePattern::matches(const QString& name) const {
    if (m_everything) {
        return true;
    }
    for (const QRegularExpression& pattern : m_patterns) {
        if (pattern.match(name).hasMatch()) {
            return true;
        }
    }
    return false;
}

} // namespace lm
