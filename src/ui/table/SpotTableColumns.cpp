#include "SpotTableColumns.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace varnello {

using L1 = QLatin1StringView;

const std::array<SpotTableColumnInfo, spotTableColumnCount> &spotTableColumns()
{
    static const std::array<SpotTableColumnInfo, spotTableColumnCount> columns{{
        {SpotTableColumn::time, L1("time"), L1("Time"), 62, 45, 90, false, false},
        {SpotTableColumn::dx, L1("dx"), L1("DX"), 100, 85, 220, false, false},
        {SpotTableColumn::frequency, L1("frequency"), L1("Frequency"), 100, 70, 150, true, false},
        {SpotTableColumn::band, L1("band"), L1("Band"), 58, 45, 100, false, false},
        {SpotTableColumn::spotter, L1("spotter"), L1("Spotter"), 90, 70, 220, false, false},
        {SpotTableColumn::comment, L1("comment"), L1("Comment"), 240, 195, 240, false, false},
        {SpotTableColumn::dxcc, L1("dxcc"), L1("DXCC"), 195, 135, 300, false, false},
        {SpotTableColumn::lotw, L1("lotw"), L1("LoTW"), 52, 52, 70, false, true},
    }};
    return columns;
}

const SpotTableColumnInfo &spotTableColumnInfo(int column)
{
    return spotTableColumns().at(static_cast<std::size_t>(column));
}

int spotTableColumnIndex(QStringView identifier)
{
    const auto &columns = spotTableColumns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].identifier == identifier)
            return static_cast<int>(i);
    }
    return -1;
}

int clampedColumnWidth(int column, double width)
{
    const SpotTableColumnInfo &info = spotTableColumnInfo(column);
    if (!std::isfinite(width))
        return info.defaultWidth;
    const double bounded = std::clamp(width, double(info.minimumWidth), double(info.maximumWidth));
    return static_cast<int>(std::lround(bounded));
}

const SpotTablePresetInfo &spotTablePresetInfo(SpotTableViewPreset preset)
{
    // The default view opens every column at its default width, the small view at its minimum.
    const auto widths = [](int SpotTableColumnInfo::*width) {
        std::array<int, spotTableColumnCount> result{};
        std::ranges::transform(spotTableColumns(), result.begin(),
                               [width](const SpotTableColumnInfo &info) { return info.*width; });
        return result;
    };
    static const SpotTablePresetInfo defaultView{
        L1("default"), 22, widths(&SpotTableColumnInfo::defaultWidth), 1000, 800};
    static const SpotTablePresetInfo small{L1("small"), 18,
                                           widths(&SpotTableColumnInfo::minimumWidth), 803, 410};
    return preset == SpotTableViewPreset::small ? small : defaultView;
}

QByteArray SavedColumnLayout::encode() const
{
    QJsonObject widthObject;
    for (auto it = widths.cbegin(); it != widths.cend(); ++it)
        widthObject.insert(it.key(), it.value());
    const QJsonObject root{{QStringLiteral("order"), QJsonArray::fromStringList(order)},
                           {QStringLiteral("widths"), widthObject}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::optional<SavedColumnLayout> SavedColumnLayout::decode(const QByteArray &bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    const QJsonValue orderValue = root.value(QStringLiteral("order"));
    const QJsonValue widthsValue = root.value(QStringLiteral("widths"));
    if (!orderValue.isArray() || !widthsValue.isObject())
        return std::nullopt;
    SavedColumnLayout layout;
    for (const QJsonValue &entry : orderValue.toArray()) {
        if (!entry.isString())
            return std::nullopt;
        layout.order.append(entry.toString());
    }
    const QJsonObject widthObject = widthsValue.toObject();
    for (auto it = widthObject.constBegin(); it != widthObject.constEnd(); ++it) {
        if (!it.value().isDouble())
            return std::nullopt;
        layout.widths.insert(it.key(), it.value().toDouble());
    }
    return layout;
}

QStringList restoredColumnOrder(QStringList current, const QStringList &savedOrder)
{
    for (qsizetype i = 0; i < savedOrder.size() && i < current.size(); ++i) {
        const qsizetype j = current.indexOf(savedOrder.at(i));
        if (j >= 0 && j != i)
            current.move(j, i);
    }
    return current;
}

} // namespace varnello
