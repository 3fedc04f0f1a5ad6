#pragma once

#include <QSettings>
#include <QString>
#include <cstdint>
#include <optional>

namespace lm {

// The display number last confirmed with "OK" on each monitor, kept in the user's settings
// (~/.config/lmsign/Velisto.conf), so the start-up panel offers it again and the wall starts
// without anyone choosing.
class RememberedNumbers {
public:
    // The user's settings.
    RememberedNumbers();
    // A settings file of its own.
    explicit RememberedNumbers(const QString& file);

    // Keyed by Monitors::key.
    std::optional<std::int16_t> number(const QString& monitor) const;
    void remember(const QString& monitor, std::int16_t number);

private:
    QString path(const QString& monitor) const;

    mutable QSettings m_settings;
};

} // namespace lm
