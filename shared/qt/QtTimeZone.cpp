#include "QtTimeZone.h"

#include <QDateTime>
#include <algorithm>

namespace lm {

namespace {

constexpr std::int64_t readFrom = 0;              // 1970-01-01
constexpr std::int64_t readUntil = 4'102'444'800; // 2100-01-01

QDateTime utc(std::int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
}

} // namespace

QtTimeZone::QtTimeZone() : m_zone(QTimeZone::systemTimeZone()) {
    readChanges();
}

QtTimeZone::QtTimeZone(const QByteArray& ianaId) : m_zone(ianaId) {
    readChanges();
}

void QtTimeZone::readChanges() {
    if (!m_zone.isValid()) {
        return;
    }
    m_offsetBefore = m_zone.offsetFromUtc(utc(readFrom));
    int offset = m_offsetBefore;
    // A change of name or of the split between standard and summer time alone is no change.
    for (const QTimeZone::OffsetData& change : m_zone.transitions(utc(readFrom), utc(readUntil))) {
        const std::int64_t at = change.atUtc.toSecsSinceEpoch();
        if (at > readFrom && at < readUntil && change.offsetFromUtc != offset) {
            m_changes.emplace_back(at, change.offsetFromUtc);
            offset = change.offsetFromUtc;
        }
    }
}

std::string QtTimeZone::name() const {
    return m_zone.id().toStdString();
}

int QtTimeZone::offsetAt(std::int64_t utcSeconds) const {
    if (!m_zone.isValid()) {
        return 0;
    }
    if (utcSeconds < readFrom || utcSeconds >= readUntil) {
        return m_zone.offsetFromUtc(utc(utcSeconds));
    }
    const auto after =
        std::upper_bound(m_changes.begin(), m_changes.end(), utcSeconds,
                         [](std::int64_t at, const std::pair<std::int64_t, int>& change) {
                             return at < change.first;
                         });
    return after == m_changes.begin() ? m_offsetBefore : std::prev(after)->second;
}

std::optional<std::int64_t> QtTimeZone::nextTransition(std::int64_t utcSeconds) const {
    if (!m_zone.isValid()) {
        return std::nullopt;
    }
    if (utcSeconds < readFrom || utcSeconds >= readUntil) {
        return askZone(utcSeconds);
    }
    const auto after =
        std::upper_bound(m_changes.begin(), m_changes.end(), utcSeconds,
                         [](std::int64_t at, const std::pair<std::int64_t, int>& change) {
                             return at < change.first;
                         });
    if (after != m_changes.end()) {
        return after->first;
    }
    return askZone(std::max(utcSeconds, readUntil - 1));
}

std::optional<std::int64_t> QtTimeZone::askZone(std::int64_t utcSeconds) const {
    int offset = m_zone.offsetFromUtc(utc(utcSeconds));
    QDateTime from = utc(utcSeconds);
    // Skip the changes that change no offset; a zone that keeps one offset answers nothing.
    for (int tries = 0; tries < 8; ++tries) {
        const QTimeZone::OffsetData change = m_zone.nextTransition(from);
        if (!change.atUtc.isValid() || change.atUtc <= from) {
            return std::nullopt;
        }
        if (change.offsetFromUtc != offset) {
            return change.atUtc.toSecsSinceEpoch();
        }
        offset = change.offsetFromUtc;
        from = change.atUtc;
    }
    return std::nullopt;
}

} // namespace lm
