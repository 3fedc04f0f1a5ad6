#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>

namespace lm {

// The file list's filter: one or more wildcard patterns separated by ";" ("*.jpg;*.gif").
// A name is listed when any of them matches it. Letter case is ignored, as on the file systems
// the patterns were written for, so "*.jpg" also lists "PHOTO.JPG"; "*.*" lists every file,
// with or without an extension.
class FilePattern {
public:
    explicit FilePattern(const QString& text = QString());

    bool matches(const QString& name) const;

private:
    QList<QRegularExpression> m_patterns;
    bool m_everything = false;
};

} // namespace lm
