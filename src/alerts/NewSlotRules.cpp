#include "NewSlotRules.h"

#include <algorithm>

namespace varnello {

namespace {

bool isConfirmed(qint64 status)
{
    return status == 1 || status == 3;
}

// Visits every needed (entity, mode, band) of the charts.
template <typename Visit>
void forEachNeededSlot(const QSet<int> &entities, const ClubLogCharts &charts,
                       const QList<ClubLogMode> &modes, ClubLogWantedStatus wantedStatus,
                       const QSet<QString> &bands, Visit visit)
{
    // Sorted once so the visit order, and with it every result, never depends on hashing.
    QList<std::pair<QString, QString>> keyedBands;
    for (const QString &band : bands) {
        if (const auto key = clubLogBandKey(band))
            keyedBands.append({band, *key});
    }
    std::sort(keyedBands.begin(), keyedBands.end());
    static const QHash<QString, qint64> noEntry;
    for (int entity : entities) {
        const QString entityKey = QString::number(entity);
        for (ClubLogMode mode : modes) {
            const auto chart = charts.constFind(mode);
            if (chart == charts.cend())
                continue;
            const auto tableIt = chart->constFind(entityKey);
            const QHash<QString, qint64> &table = tableIt == chart->cend() ? noEntry : *tableIt;
            for (const auto &[band, key] : keyedBands) {
                const auto entry = table.constFind(key);
                const bool needed =
                    entry == table.cend() ||
                    (wantedStatus == ClubLogWantedStatus::notConfirmed && !isConfirmed(*entry));
                if (needed)
                    visit(entity, mode, band);
            }
        }
    }
}

} // namespace

const QStringList &hfBands()
{
    static const QStringList bands{
        QStringLiteral("160m"), QStringLiteral("80m"), QStringLiteral("60m"), QStringLiteral("40m"),
        QStringLiteral("30m"),  QStringLiteral("20m"), QStringLiteral("17m"), QStringLiteral("15m"),
        QStringLiteral("12m"),  QStringLiteral("10m")};
    return bands;
}

const QStringList &vhfUHFBands()
{
    static const QStringList bands{QStringLiteral("6m"), QStringLiteral("4m"), QStringLiteral("2m"),
                                   QStringLiteral("70cm"), QStringLiteral("23cm")};
    return bands;
}

const QStringList &microwaveBands()
{
    static const QStringList bands{QStringLiteral("13cm"),  QStringLiteral("9cm"),
                                   QStringLiteral("6cm"),   QStringLiteral("3cm"),
                                   QStringLiteral("1.2cm"), QStringLiteral("6mm"),
                                   QStringLiteral("4mm"),   QStringLiteral("2mm")};
    return bands;
}

const QStringList &alertBandList()
{
    static const QStringList bands = hfBands() + vhfUHFBands() + microwaveBands();
    return bands;
}

QStringList bandsOfGroup(ClubLogBandGroup group)
{
    switch (group) {
    case ClubLogBandGroup::allBands:
        return alertBandList();
    case ClubLogBandGroup::hf:
        return hfBands();
    case ClubLogBandGroup::hfPlus6m:
        return hfBands() + QStringList{QStringLiteral("6m")};
    case ClubLogBandGroup::vhfUhf:
        return vhfUHFBands();
    case ClubLogBandGroup::microwave:
        return microwaveBands();
    }
    return {};
}

QList<SpotType> clubLogSpotTypes(ClubLogMode mode)
{
    switch (mode) {
    case ClubLogMode::mixed:
        return {SpotType::cw, SpotType::ssb, SpotType::ftx, SpotType::otherDigital};
    case ClubLogMode::cw:
        return {SpotType::cw};
    case ClubLogMode::ssb:
        return {SpotType::ssb};
    case ClubLogMode::data:
        return {SpotType::ftx, SpotType::otherDigital};
    }
    return {};
}

QSet<SpotType> clubLogSpotTypes(const QSet<ClubLogMode> &modes)
{
    QSet<SpotType> types;
    for (ClubLogMode mode :
         modes.contains(ClubLogMode::mixed) ? QSet<ClubLogMode>{ClubLogMode::mixed} : modes) {
        for (SpotType type : clubLogSpotTypes(mode))
            types.insert(type);
    }
    return types;
}

QList<ClubLogMode> newSlotLookupModes(const QSet<ClubLogMode> &modes)
{
    if (modes.contains(ClubLogMode::mixed))
        return {ClubLogMode::cw, ClubLogMode::ssb, ClubLogMode::data};
    QList<ClubLogMode> list;
    for (ClubLogMode mode : {ClubLogMode::cw, ClubLogMode::ssb, ClubLogMode::data}) {
        if (modes.contains(mode))
            list.append(mode);
    }
    return list;
}

QList<ClubLogMode> clubLogPopulateModes(const QSet<ClubLogMode> &modes, bool entitiesChosen)
{
    if (!entitiesChosen) {
        const bool allThree = modes.contains(ClubLogMode::cw) && modes.contains(ClubLogMode::ssb) &&
                              modes.contains(ClubLogMode::data);
        if (modes.contains(ClubLogMode::mixed) || allThree)
            return {ClubLogMode::mixed};
    }
    return newSlotLookupModes(modes);
}

QList<ClubLogEntitySlotRule> clubLogEntitySlotRules(const QSet<int> &entities,
                                                    const ClubLogCharts &charts,
                                                    const QList<ClubLogMode> &modes,
                                                    ClubLogWantedStatus wantedStatus,
                                                    const QSet<QString> &bands)
{
    QHash<int, QSet<ClubLogAlertSlot>> slotsByEntity;
    forEachNeededSlot(entities, charts, modes, wantedStatus, bands,
                      [&](int entity, ClubLogMode mode, const QString &band) {
                          QSet<ClubLogAlertSlot> &entitySlots = slotsByEntity[entity];
                          for (SpotType type : clubLogSpotTypes(mode))
                              entitySlots.insert(ClubLogAlertSlot{band, type});
                      });
    QList<ClubLogEntitySlotRule> rules;
    rules.reserve(slotsByEntity.size());
    for (auto it = slotsByEntity.begin(); it != slotsByEntity.end(); ++it)
        rules.append(ClubLogEntitySlotRule{it.key(), std::move(it.value())});
    std::sort(rules.begin(), rules.end(),
              [](const ClubLogEntitySlotRule &a, const ClubLogEntitySlotRule &b) {
                  return a.entityADIFNumber < b.entityADIFNumber;
              });
    return rules;
}

ClubLogNeededCounts clubLogNeededCounts(const QSet<int> &entities, const ClubLogCharts &charts,
                                        const QList<ClubLogMode> &modes,
                                        ClubLogWantedStatus wantedStatus,
                                        const QSet<QString> &bands)
{
    QSet<int> neededEntities;
    int slotCount = 0;
    forEachNeededSlot(entities, charts, modes, wantedStatus, bands,
                      [&](int entity, ClubLogMode, const QString &) {
                          neededEntities.insert(entity);
                          ++slotCount;
                      });
    return {int(neededEntities.size()), slotCount};
}

QSet<int> clubLogNeededEntities(const ClubLogDXCCChart &chart, ClubLogWantedStatus wantedStatus,
                                const QList<CTYEntity> &entities)
{
    QSet<int> needed;
    for (const CTYEntity &entity : entities) {
        const auto table = chart.constFind(QString::number(entity.adifNumber));
        if (table == chart.cend()) {
            needed.insert(entity.adifNumber);
            continue;
        }
        if (wantedStatus == ClubLogWantedStatus::notConfirmed &&
            std::none_of(table->cbegin(), table->cend(), isConfirmed))
            needed.insert(entity.adifNumber);
    }
    return needed;
}

} // namespace varnello
