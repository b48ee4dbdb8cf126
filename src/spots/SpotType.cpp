#include "SpotType.h"

namespace varnello {

namespace {
struct RawName {
    SpotType type;
    const char16_t *raw;
};
constexpr RawName rawNames[] = {
    {SpotType::beacon, u"beacon"}, {SpotType::ftx, u"ftx"}, {SpotType::otherDigital, u"otherData"},
    {SpotType::cw, u"cw"},         {SpotType::ssb, u"ssb"}, {SpotType::unknown, u"unknown"},
};
} // namespace

QString toRaw(SpotType type)
{
    for (const RawName &r : rawNames) {
        if (r.type == type)
            return QString::fromUtf16(r.raw);
    }
    return QStringLiteral("unknown");
}

std::optional<SpotType> spotTypeFromRaw(QStringView raw)
{
    for (const RawName &r : rawNames) {
        if (raw == QStringView(r.raw))
            return r.type;
    }
    return std::nullopt;
}

} // namespace varnello
