#include "SpotFilterCatalogue.h"

#include "NewSlotRules.h"

namespace varnello::spotfilter {

const QStringList &bandOrder()
{
    static const QStringList order = [] {
        QStringList bands = alertBandList();
        bands.append(otherBand);
        return bands;
    }();
    return order;
}

bool bandSortsBefore(QStringView a, QStringView b)
{
    const auto position = [](QStringView name) {
        const qsizetype index = bandOrder().indexOf(name);
        return index < 0 ? bandOrder().size() : index;
    };
    return position(a) < position(b);
}

const QList<Continent> &continents()
{
    static const QList<Continent> list{
        {QStringLiteral("AF"), QStringLiteral("Africa")},
        {QStringLiteral("AN"), QStringLiteral("Antarctica")},
        {QStringLiteral("AS"), QStringLiteral("Asia")},
        {QStringLiteral("EU"), QStringLiteral("Europe")},
        {QStringLiteral("NA"), QStringLiteral("North America")},
        {QStringLiteral("OC"), QStringLiteral("Oceania")},
        {QStringLiteral("SA"), QStringLiteral("South America")},
    };
    return list;
}

} // namespace varnello::spotfilter
