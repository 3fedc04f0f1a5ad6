#include "FilePattern.h"

namespace lm {

namespace {

// Only * (any run of characters) and ? (one character) are wildcards; "[" is part of a name.
QString toRegularExpression(const QString& pattern) {
    QString expression = QStringLiteral("\\A");
    QString literal;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?')) {
            expression += QRegularExpression::escape(literal);
            literal.clear();
            expression += c == QLatin1Char('*') ? QLatin1String(".*") : QLatin1String(".");
        } else {
            literal += c;
        }
    }
    expression += QRegularExpression::escape(literal);
    expression += QLatin1String("\\z");
    return expression;
}

} // namespace

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
        m_patterns.append(QRegularExpression(toRegularExpression(pattern),
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
