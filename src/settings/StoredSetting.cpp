#include "StoredSetting.h"

#include <array>
#include <utility>

namespace varnello {

namespace {
constexpr std::array<std::pair<StoredSetting::Kind, const char *>, 5> kindRawValues{{
    {StoredSetting::Kind::String, "string"},
    {StoredSetting::Kind::Bool, "bool"},
    {StoredSetting::Kind::Data, "data"},
    {StoredSetting::Kind::Integer, "integer"},
    {StoredSetting::Kind::Double, "double"},
}};

template <std::size_t Index, typename Variant>
auto alternative(const Variant &v) -> std::optional<std::variant_alternative_t<Index, Variant>>
{
    if (const auto *p = std::get_if<Index>(&v))
        return *p;
    return std::nullopt;
}
} // namespace

QString StoredSetting::kindToRaw(Kind kind)
{
    for (const auto &[k, raw] : kindRawValues) {
        if (k == kind)
            return QString::fromLatin1(raw);
    }
    return {};
}

std::optional<StoredSetting::Kind> StoredSetting::kindFromRaw(QStringView raw)
{
    for (const auto &[k, text] : kindRawValues) {
        if (raw == QLatin1StringView(text))
            return k;
    }
    return std::nullopt;
}

std::optional<QString> StoredSetting::stringValue() const
{
    return alternative<0>(m_payload);
}
std::optional<bool> StoredSetting::boolValue() const
{
    return alternative<1>(m_payload);
}
std::optional<QByteArray> StoredSetting::dataValue() const
{
    return alternative<2>(m_payload);
}
std::optional<qint64> StoredSetting::integerValue() const
{
    return alternative<3>(m_payload);
}
std::optional<double> StoredSetting::doubleValue() const
{
    return alternative<4>(m_payload);
}

} // namespace varnello
