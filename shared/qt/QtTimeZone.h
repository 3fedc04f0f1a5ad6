#pragma once

#include "TimeZone.h"

#include <QTimeZone>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lm {

// A time zone from the system's zone database, through QTimeZone. The changes from 1970 to
// 2100 are read once, since the plan asks for them many times a second in a test; outside
// those years every question goes to QTimeZone.
class QtTimeZone : public TimeZone {
public:
    // The zone this computer runs in (TZ, else /etc/localtime).
    QtTimeZone();
    // A zone by its IANA name; isValid() is false for a name the system does not know.
    explicit QtTimeZone(const QByteArray& ianaId);

    bool isValid() const { return m_zone.isValid(); }

    std::string name() const override;
    int offsetAt(std::int64_t utcSeconds) const override;
    std::optional<std::int64_t> nextTransition(std::int64_t utcSeconds) const override;

private:
    void readChanges();
    std::optional<std::int64_t> askZone(std::int64_t utcSeconds) const;

    QTimeZone m_zone;
    // The instant of each change of offset and the offset after it, in order.
    std::vector<std::pair<std::int64_t, int>> m_changes;
    int m_offsetBefore = 0; // in force before the first change read
};

} // namespace lm
