#include "RememberedNumbers.h"

#include <limits>

namespace lm {

RememberedNumbers::RememberedNumbers()
    : m_settings(QSettings::UserScope, QStringLiteral("lmsign"), QStringLiteral("Velisto")) {}

RememberedNumbers::RememberedNumbers(const QString& file)
    : m_settings(file, QSettings::IniFormat) {}

QString RememberedNumbers::path(const QString& monitor) const {
    // A "/" in a monitor's name must not open a group of its own.
    QString key = monitor;
    key.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("numbers/") + key;
}

std::optional<std::int16_t> RememberedNumbers::number(const QString& monitor) const {
    // Another display of this computer may have written its own number meanwhile.
    m_settings.sync();
    bool ok = false;
    const int value = m_settings.value(path(monitor)).toInt(&ok);
    if (!ok || value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

void RememberedNumbers::remember(const QString& monitor, std::int16_t number) {
    m_settings.setValue(path(monitor), number);
    // On disk at once: a display that goes down right after "OK" still comes back with it.
    m_settings.sync();
}

} // namespace lm
