#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>
#include <variant>

namespace varnello {

// One value of the settings document. The case travels with the value, so a reader asking for a
// different case than the one stored gets its own default instead of a conversion.
class StoredSetting final {
public:
    // Raw values are the document's "type" texts; the order matches the payload variant below.
    enum class Kind { String, Bool, Data, Integer, Double };

    static QString kindToRaw(Kind kind);
    static std::optional<Kind> kindFromRaw(QStringView raw);

    // Named constructors only: a variant constructor would turn a string literal into a bool.
    static StoredSetting string(QString value)
    {
        return StoredSetting(Payload(std::in_place_index<0>, std::move(value)));
    }
    static StoredSetting boolean(bool value)
    {
        return StoredSetting(Payload(std::in_place_index<1>, value));
    }
    static StoredSetting data(QByteArray value)
    {
        return StoredSetting(Payload(std::in_place_index<2>, std::move(value)));
    }
    static StoredSetting integer(qint64 value)
    {
        return StoredSetting(Payload(std::in_place_index<3>, value));
    }
    static StoredSetting number(double value)
    {
        return StoredSetting(Payload(std::in_place_index<4>, value));
    }

    Kind kind() const { return static_cast<Kind>(m_payload.index()); }

    // The payload when this value holds that case, otherwise nothing.
    std::optional<QString> stringValue() const;
    std::optional<bool> boolValue() const;
    std::optional<QByteArray> dataValue() const;
    std::optional<qint64> integerValue() const;
    std::optional<double> doubleValue() const;

    // Same case and equal payload; doubles compare as floating point, so NaN never equals itself.
    friend bool operator==(const StoredSetting &, const StoredSetting &) = default;

private:
    using Payload = std::variant<QString, bool, QByteArray, qint64, double>;
    explicit StoredSetting(Payload payload) : m_payload(std::move(payload)) {}

    Payload m_payload;
};

} // namespace varnello
