#include "SpotTableColumns.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace varnello {

using L1 = QLatin1StringView;

const std::array<SpotTableColumnSpec, spotTableColumnCount> &spotTableColumns()
{
    static const std::array<SpotTableColumnSpec, spotTableColumnCount> columns{{
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

const SpotTableColumnSpec &spotTableColumnSpec(int column)
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
    const SpotTableColumnSpec &spec = spotTableColumnSpec(column);
    if (!std::isfinite(width))
        return spec.defaultWidth;
    const double bounded = std::clamp(width, double(spec.minimumWidth), double(spec.maximumWidth));
    return static_cast<int>(std::lround(bounded));
}

const SpotTablePresetSpec &spotTablePresetSpec(SpotTableViewPreset preset)
{
    static const SpotTablePresetSpec defaultView{
        L1("default"), 22, {62, 100, 100, 58, 90, 240, 195, 52}, 1000, 800};
    static const SpotTablePresetSpec small{
        L1("small"), 18, {45, 85, 70, 45, 70, 195, 135, 52}, 803, 410};
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
