#pragma once

#include <QDate>
#include <QHash>
#include <QLocale>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <optional>

namespace varnello {

// Name of the notification (NotificationHub) posted after every replacement of the table.
inline constexpr char kLoTWActivityLookupDidReload[] = "LoTWActivityLookupDidReload";

// The callsigns that uploaded to LoTW within the last year, with the day of their last upload.
// One shared table, read from any thread (spot filters, table cells) and replaced whole by the
// data-file manager.
class LoTWActivityLookup final {
public:
    using Table = QHash<QString, QDate>; // upper-case key -> day of the last upload (UTC)

    static LoTWActivityLookup &shared();

    // Replaces the table, then queues the reload notification to the main thread: observers
    // hear of it after this call has returned.
    void replaceAll(Table table);

    // Day of the last upload of the first lookup key found in the table.
    std::optional<QDate> lastUpload(QStringView callsign) const;
    bool hasRecentUpload(QStringView callsign) const { return lastUpload(callsign).has_value(); }
    // That day in the user's locale with the month's full name ("5 January 2026"); the day is
    // formatted as a calendar date, so the machine's time zone never shifts it.
    std::optional<QString> lastUploadText(QStringView callsign) const;

    // The whole call first, then its "/" parts that hold a letter and a digit, longest first
    // (equal lengths in ascending order), without portable/mobile suffixes and repeats:
    // ea8/g4abc/p -> EA8/G4ABC/P, G4ABC, EA8.
    static QStringList lookupKeys(QStringView callsign);

    qsizetype size() const;

    LoTWActivityLookup() = default;
    Q_DISABLE_COPY_MOVE(LoTWActivityLookup)

private:
    mutable QMutex m_lock;
    Table m_lastUploadByCallsign;
};

// A calendar date as the user's locale writes it with the month's full name and no weekday.
QString formatLongDateWithoutWeekday(QDate date, const QLocale &locale);
// The same with the month's abbreviated name ("5 Jan 2026").
QString formatAbbreviatedDate(QDate date, const QLocale &locale);

} // namespace varnello
