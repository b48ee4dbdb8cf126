#include "AlertSummaryText.h"

#include "AlertEditorRules.h"
#include "ClubLogSelection.h"
#include "NewSlotRules.h"

#include <QLocale>
#include <algorithm>

namespace varnello {

namespace {

const QString middleDot = QStringLiteral(" \u00b7 ");

// Up to three items in full; beyond that the first two and how many more.
QString shortList(const QStringList &items)
{
    if (items.size() <= 3)
        return items.join(QStringLiteral(", "));
    return items.first(2).join(QStringLiteral(", ")) + QStringLiteral(" + ") +
           QString::number(items.size() - 2) + QStringLiteral(" more");
}

QStringList bandsInOrder(const QStringList &order, const QSet<QString> &bands)
{
    QStringList shown;
    for (const QString &band : order) {
        if (bands.contains(band))
            shown.append(band);
    }
    return shown;
}

QString entityName(int adifNumber, const QList<CTYEntity> &entities)
{
    for (const CTYEntity &entity : entities) {
        if (entity.adifNumber == adifNumber)
            return entity.name;
    }
    return QStringLiteral("ADIF ") + QString::number(adifNumber);
}

QString clubLogSlotSummary(const QList<ClubLogEntitySlotRule> &rules)
{
    // Only the first rule: the row has room for one entity's slots.
    const QStringList lines = clubLogSlotLines(rules);
    return lines.isEmpty() ? QStringLiteral("No outstanding band/mode slots")
                           : lines.join(middleDot);
}

} // namespace

const QStringList &newSlotAllBands()
{
    return clubLogBandUniverse();
}

QString alertModeClassName(SpotType type)
{
    switch (type) {
    case SpotType::cw:
        return QStringLiteral("CW");
    case SpotType::ssb:
        return QStringLiteral("SSB (Phone)");
    case SpotType::ftx:
        return QStringLiteral("FTx");
    case SpotType::otherDigital:
        return QStringLiteral("Other Data");
    case SpotType::beacon:
        return QStringLiteral("Beacon");
    case SpotType::unknown:
        break;
    }
    return QStringLiteral("Unknown");
}

bool isClubLogAlertSlot(const SpotAlertConfiguration &alert, int slot)
{
    return slot >= 0 && slot < callsignAlertSlot && carriesClubLogEntityFilter(alert);
}

QString alertEntitySummaryText(const SpotAlertConfiguration &alert, int slot,
                               const QList<CTYEntity> &entities)
{
    if (slot == callsignAlertSlot) {
        if (alert.selectedCallsigns.isEmpty())
            return QStringLiteral("No callsigns configured");
        QStringList calls(alert.selectedCallsigns.cbegin(), alert.selectedCallsigns.cend());
        std::sort(calls.begin(), calls.end());
        return shortList(calls);
    }
    if (isClubLogAlertSlot(alert, slot)) {
        const QSet<int> &filter = alert.clubLogSettings->entityFilterADIFNumbers;
        const int lowest = *std::min_element(filter.cbegin(), filter.cend());
        const QString status = alert.clubLogSettings->wantedStatus == ClubLogWantedStatus::notWorked
                                   ? QStringLiteral("Not worked")
                                   : QStringLiteral("Not confirmed");
        return entityName(lowest, entities) + QStringLiteral(" \u00b7 Club Log \u00b7 ") + status;
    }
    if (alert.selectedEntityADIFNumbers.isEmpty())
        return QStringLiteral("Not configured");
    QStringList names;
    for (const CTYEntity &entity : entities) {
        if (alert.selectedEntityADIFNumbers.contains(entity.adifNumber))
            names.append(entity.name);
    }
    // The entity list is not loaded (yet, or at all): say how many.
    if (names.isEmpty())
        return QString::number(alert.selectedEntityADIFNumbers.size()) +
               QStringLiteral(" DXCC entities");
    return shortList(names);
}

QString alertSlotSummaryText(const SpotAlertConfiguration &alert, int slot)
{
    if (!alert.isConfigured())
        return {};
    if (isClubLogAlertSlot(alert, slot))
        return clubLogSlotSummary(alert.clubLogSettings->entitySlotRules);
    const QString bandPart =
        alert.selectedBands.isEmpty()
            ? QStringLiteral("Any band")
            : bandsInOrder(alertBandList(), alert.selectedBands).join(QStringLiteral(", "));
    QString modePart = QStringLiteral("Any mode");
    if (!alert.selectedModes.isEmpty()) {
        QStringList names;
        for (SpotType type : {SpotType::cw, SpotType::ssb, SpotType::ftx, SpotType::otherDigital}) {
            if (alert.selectedModes.contains(type))
                names.append(alertModeClassName(type));
        }
        modePart = names.join(QStringLiteral(", "));
    }
    return bandPart + middleDot + modePart;
}

QString alertActionSummaryText(const SpotAlertConfiguration &alert)
{
    QStringList actions;
    if (alert.highlightRows)
        actions.append(QStringLiteral("highlight"));
    if (alert.playSound)
        actions.append(QStringLiteral("sound"));
    if (alert.showNotification)
        actions.append(QStringLiteral("notification"));
    if (actions.isEmpty())
        return QStringLiteral("No action selected");
    QString text = actions.join(QStringLiteral(" + "));
    text[0] = text[0].toUpper();
    if (actions.size() == 1)
        text += QStringLiteral(" only");
    return text;
}

QString alertActionSymbolName(const SpotAlertConfiguration &alert)
{
    if (alert.playSound)
        return QStringLiteral("speaker.wave.2");
    if (alert.showNotification)
        return QStringLiteral("bell");
    return QStringLiteral("highlighter");
}

QString newSlotWantedStatusText(ClubLogWantedStatus status)
{
    return status == ClubLogWantedStatus::notWorked ? QStringLiteral("Not worked")
                                                    : QStringLiteral("Not confirmed");
}

QString newSlotModesText(const QSet<ClubLogMode> &modes)
{
    static const std::array<std::pair<ClubLogMode, const char *>, 4> names{{
        {ClubLogMode::mixed, "Mixed"},
        {ClubLogMode::cw, "CW"},
        {ClubLogMode::ssb, "SSB"},
        {ClubLogMode::data, "Data"},
    }};
    QStringList shown;
    for (const auto &[mode, name] : names) {
        if (modes.contains(mode))
            shown.append(QString::fromLatin1(name));
    }
    return shown.isEmpty() ? QStringLiteral("No modes selected") : shown.join(QStringLiteral(", "));
}

QString newSlotBandsText(const QSet<QString> &bands)
{
    const QStringList &all = newSlotAllBands();
    if (bands == QSet<QString>(all.cbegin(), all.cend()))
        return QStringLiteral("All bands");
    const QStringList shown = bandsInOrder(all, bands);
    return shown.isEmpty() ? QStringLiteral("No bands selected") : shown.join(QStringLiteral(", "));
}

QString newSlotActionsText(const NewSlotAlertConfiguration &configuration)
{
    QStringList actions;
    if (configuration.highlightRows)
        actions.append(QStringLiteral("Highlight"));
    if (configuration.playSound)
        actions.append(QStringLiteral("Sound"));
    if (configuration.showNotification)
        actions.append(QStringLiteral("Notification"));
    return actions.isEmpty() ? QStringLiteral("No actions selected") : actions.join(middleDot);
}

QString clubLogRefreshDateText(const NewSlotAlertConfiguration &configuration)
{
    if (!configuration.lastSuccessfulRefresh)
        return QStringLiteral("Club Log data: Not yet refreshed");
    static const QLocale british(QLocale::English, QLocale::UnitedKingdom);
    return QStringLiteral("Club Log data last refreshed: ") +
           british.toString(configuration.lastSuccessfulRefresh->toLocalTime(),
                            QStringLiteral("d MMM yyyy 'at' HH:mm"));
}

std::optional<QString> newSlotNeededCountsText(const NewSlotAlertConfiguration &configuration)
{
    if (!configuration.neededEntityCount || !configuration.neededSlotCount)
        return std::nullopt;
    return QString::number(*configuration.neededEntityCount) + QStringLiteral(" entities") +
           middleDot + QString::number(*configuration.neededSlotCount) +
           QStringLiteral(" slots needed");
}

} // namespace varnello
