#include "RBNMode.h"

#include <bit>

namespace varnello {

namespace {

struct RawEntry {
    RBNMode mode;
    const char *raw;
};

constexpr std::array<RawEntry, 5> rawTable{{
    {RBNMode::cw, "CW"},
    {RBNMode::beacon, "BEACON"},
    {RBNMode::psk, "PSK"},
    {RBNMode::rtty, "RTTY"},
    {RBNMode::ft, "FT"},
}};

} // namespace

QString toRaw(RBNMode mode)
{
    for (const RawEntry &entry : rawTable) {
        if (entry.mode == mode)
            return QString::fromLatin1(entry.raw);
    }
    return {};
}

std::optional<RBNMode> rbnModeFromRaw(QStringView raw)
{
    for (const RawEntry &entry : rawTable) {
        if (raw == QLatin1String(entry.raw))
            return entry.mode;
    }
    return std::nullopt;
}

int RBNModeSet::size() const
{
    return std::popcount(m_bits);
}

QStringList RBNModeSet::rawValues() const
{
    QStringList values;
    for (RBNMode mode : allRBNModes) {
        if (contains(mode))
            values.append(toRaw(mode));
    }
    return values;
}

} // namespace varnello
