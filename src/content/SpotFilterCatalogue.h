#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace varnello {

// The bands and continents the local spot filter offers.
namespace spotfilter {

// The 23 bands of the catalogue (HF, VHF and UHF, microwave) followed by "Other".
const QStringList &bandOrder();
inline const QString otherBand = QStringLiteral("Other");
// True when a comes strictly before b in the band order; names outside it come last, all equal.
bool bandSortsBefore(QStringView a, QStringView b);

struct Continent {
    QString code;
    QString name;
};
// "AF" Africa to "SA" South America, in display order.
const QList<Continent> &continents();

} // namespace spotfilter

} // namespace varnello
