#pragma once

#include "AlertModel.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <optional>

namespace varnello {

// The stored JSON form of the alerts. Decoding is strict: a value of the wrong JSON type, an
// unknown raw value or a whole number that is not whole (291.5, 1e300, "291") fails the decoding
// of the whole document. Encoding is deterministic (sets are written sorted) and fails rather than
// write a non-finite colour component or an invalid date, which would be stored as null.
namespace alertcoding {

std::optional<QByteArray> encode(const SpotAlertConfiguration &value);
std::optional<QByteArray> encode(const QList<SpotAlertConfiguration> &value);
std::optional<QByteArray> encode(const NewSlotAlertConfiguration &value);
std::optional<QByteArray> encode(const QList<ClubLogEntitySlotRule> &value);
std::optional<QByteArray> encodeFlags(const QList<bool> &value);

std::optional<SpotAlertConfiguration> decodeConfiguration(const QByteArray &bytes);
std::optional<QList<SpotAlertConfiguration>> decodeConfigurationList(const QByteArray &bytes);
std::optional<NewSlotAlertConfiguration> decodeNewSlotConfiguration(const QByteArray &bytes);
std::optional<QList<ClubLogEntitySlotRule>> decodeRuleList(const QByteArray &bytes);
std::optional<QList<bool>> decodeFlags(const QByteArray &bytes);

// Dates are seconds, with fraction, since 1 January 2001 00:00:00 UTC.
std::optional<double> encodeDate(const QDateTime &date);
std::optional<QDateTime> decodeDate(const QJsonValue &value);

// A JSON number that holds a whole number within [minimum, maximum].
std::optional<qint64> strictInteger(const QJsonValue &value, qint64 minimum, qint64 maximum);

} // namespace alertcoding
} // namespace varnello
