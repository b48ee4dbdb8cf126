#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>

namespace varnello {

// The mode class of a spot, guessed by classifySpotType().
enum class SpotType { beacon, ftx, otherDigital, cw, ssb, unknown };

// Every case in menu order.
inline constexpr std::array<SpotType, 6> allSpotTypes{SpotType::beacon,       SpotType::ftx,
                                                      SpotType::otherDigital, SpotType::cw,
                                                      SpotType::ssb,          SpotType::unknown};

// The stored text of a case ("otherData" for otherDigital).
QString toRaw(SpotType type);
// nullopt for any text that is not one of the six raw values.
std::optional<SpotType> spotTypeFromRaw(QStringView raw);

inline size_t qHash(SpotType type, size_t seed = 0) noexcept
{
    return qHashMulti(seed, static_cast<int>(type));
}

} // namespace varnello
