#pragma once

#include <QByteArray>
#include <QHash>
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace varnello {

// The eight fixed columns of the spot table, in creation order. The stored layout and the
// settings name them by identifier, never by position.
enum class SpotTableColumn { time, dx, frequency, band, spotter, comment, dxcc, lotw };

inline constexpr int spotTableColumnCount = 8;

struct SpotTableColumnSpec {
    SpotTableColumn column;
    QLatin1StringView identifier;
    QLatin1StringView title;
    int defaultWidth;
    int minimumWidth;
    int maximumWidth;
    bool alignRight;
    bool alignCentre;
};

const std::array<SpotTableColumnSpec, spotTableColumnCount> &spotTableColumns();
const SpotTableColumnSpec &spotTableColumnSpec(int column);
// -1 for an identifier that names no column.
int spotTableColumnIndex(QStringView identifier);
int clampedColumnWidth(int column, double width);

enum class SpotTableViewPreset { defaultView, small };

struct SpotTablePresetSpec {
    QLatin1StringView name; // as stored under DXSpotTableViewPreset
    int rowHeight;
    std::array<int, spotTableColumnCount> widths;
    int windowWidth;
    int windowHeight;
};

const SpotTablePresetSpec &spotTablePresetSpec(SpotTableViewPreset preset);
inline constexpr QLatin1StringView customPresetName{"custom"};

// Named notifications of the view presets (posted through NotificationHub).
inline constexpr QLatin1StringView applyDefaultViewNotification{"varnelloApplyDefaultView"};
inline constexpr QLatin1StringView applySmallViewNotification{"varnelloApplySmallView"};
inline constexpr QLatin1StringView viewPresetStateChangedNotification{
    "varnelloViewPresetStateChanged"};

// The column order and widths as saved under DXSpotTableColumnLayout: {"order": [...], "widths":
// {...}}, both keys required.
struct SavedColumnLayout {
    QStringList order;
    QHash<QString, double> widths;

    QByteArray encode() const;
    // Nothing for bytes that are not such a document, or hold values of other types.
    static std::optional<SavedColumnLayout> decode(const QByteArray &bytes);
};

// The new left-to-right order of column identifiers after applying a saved order to `current`:
// each named column moves to its saved position in turn; unknown identifiers are skipped and
// unnamed columns keep their relative order after the moved ones.
QStringList restoredColumnOrder(QStringList current, const QStringList &savedOrder);

} // namespace varnello
