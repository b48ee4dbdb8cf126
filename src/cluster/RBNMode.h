#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>

namespace varnello {

// The Reverse Beacon Network skimmer modes a DXSpider node can pass on. The raw values are the
// words of the node's "set/skimmer" command, and commands always list modes in this case order.
enum class RBNMode : std::uint8_t { cw, beacon, psk, rtty, ft };

inline constexpr std::array<RBNMode, 5> allRBNModes{RBNMode::cw, RBNMode::beacon, RBNMode::psk,
                                                    RBNMode::rtty, RBNMode::ft};

QString toRaw(RBNMode mode);
std::optional<RBNMode> rbnModeFromRaw(QStringView raw);

// A set of skimmer modes. Iteration and listing always follow the case order above, whatever
// order the modes were added in, so commands built from a set are stable.
class RBNModeSet {
public:
    constexpr RBNModeSet() = default;
    constexpr RBNModeSet(std::initializer_list<RBNMode> modes)
    {
        for (RBNMode mode : modes)
            insert(mode);
    }

    constexpr bool contains(RBNMode mode) const { return (m_bits & bit(mode)) != 0; }
    constexpr void insert(RBNMode mode) { m_bits = static_cast<std::uint8_t>(m_bits | bit(mode)); }
    constexpr void remove(RBNMode mode) { m_bits = static_cast<std::uint8_t>(m_bits & ~bit(mode)); }
    constexpr void set(RBNMode mode, bool present) { present ? insert(mode) : remove(mode); }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr void clear() { m_bits = 0; }
    int size() const;

    // The raw values of the modes in the set, in case order.
    QStringList rawValues() const;

    constexpr bool operator==(const RBNModeSet &) const = default;

private:
    static constexpr std::uint8_t bit(RBNMode mode)
    {
        return static_cast<std::uint8_t>(1U << static_cast<unsigned>(mode));
    }
    std::uint8_t m_bits = 0;
};

enum class RBNBootstrapState { idle, enablingBeacon, disablingRBN };

} // namespace varnello
