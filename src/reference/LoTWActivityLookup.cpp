#include "LoTWActivityLookup.h"

#include "NotificationHub.h"

#include <QLocale>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QVarLengthArray>
#include <algorithm>

namespace varnello {

namespace {

bool isOperatingSuffix(QStringView piece)
{
    static const QStringView kSuffixes[] = {u"P", u"M", u"MM", u"AM", u"QRP", u"A", u"B"};
    return std::find(std::begin(kSuffixes), std::end(kSuffixes), piece) != std::end(kSuffixes);
}

bool hasLetterAndDigit(QStringView piece)
{
    bool letter = false;
    bool digit = false;
    for (const QChar c : piece) {
        letter = letter || c.isLetter();
        digit = digit || c.isDigit();
    }
    return letter && digit;
}

QString normalisedWhole(QStringView callsign)
{
    return callsign.toString().toUpper().trimmed();
}

// The locale's long date pattern without its weekday, so "dddd, d MMMM yyyy" becomes
// "d MMMM yyyy" and "dddd, MMMM d, yyyy" becomes "MMMM d, yyyy". A leading weekday takes the
// words that belong to it along ("dddd 'den' d. MMMM" in Danish); a trailing one takes the
// separators before it ("yyyy. MMMM d., dddd" in Hungarian), so no stray comma is left behind.
QString longPatternWithoutWeekday(const QLocale &locale)
{
    static const QRegularExpression kLeadingWeekday(QStringLiteral("^d{4}(?:'[^']*'|[^dMy'])*"));
    static const QRegularExpression kTrailingWeekday(QStringLiteral("[\\s,\u060C]*d{4}$"));
    static const QRegularExpression kWeekday(QStringLiteral("d{4}[\\s,.\u060C]*"));
    QString pattern = locale.dateFormat(QLocale::LongFormat).trimmed();
    pattern.remove(kLeadingWeekday);
    pattern.remove(kTrailingWeekday);
    pattern.remove(kWeekday);
    return pattern.trimmed();
}

} // namespace

QString formatLongDateWithoutWeekday(QDate date, const QLocale &locale)
{
    return locale.toString(date, longPatternWithoutWeekday(locale));
}

QString formatAbbreviatedDate(QDate date, const QLocale &locale)
{
    static const QRegularExpression kFullMonth(QStringLiteral("M{4}"));
    QString pattern = longPatternWithoutWeekday(locale);
    pattern.replace(kFullMonth, QStringLiteral("MMM"));
    return locale.toString(date, pattern);
}

LoTWActivityLookup &LoTWActivityLookup::shared()
{
    static LoTWActivityLookup lookup;
    return lookup;
}

void LoTWActivityLookup::replaceAll(Table table)
{
    {
        QMutexLocker locker(&m_lock);
        m_lastUploadByCallsign.swap(table);
    }
    // The old table is freed here, outside the lock.
    table = {};
    NotificationHub::instance().post(QString::fromLatin1(kLoTWActivityLookupDidReload));
}

namespace {

using Pieces = QVarLengthArray<QStringView, 8>;

// The "/" parts of an upper-cased, trimmed call that can be calls or prefixes, longest first,
// equal lengths in ascending order, repeats and the whole text itself removed.
Pieces keyPieces(QStringView whole)
{
    Pieces pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= whole.size(); ++i) {
        if (i < whole.size() && whole[i] != u'/')
            continue;
        const QStringView piece = whole.sliced(start, i - start);
        start = i + 1;
        if (!piece.isEmpty() && !isOperatingSuffix(piece) && hasLetterAndDigit(piece))
            pieces.append(piece);
    }
    std::stable_sort(pieces.begin(), pieces.end(), [](QStringView a, QStringView b) {
        if (a.size() != b.size())
            return a.size() > b.size();
        return a.compare(b) < 0;
    });
    Pieces unique;
    for (const QStringView piece : pieces) {
        if (piece != whole && std::find(unique.begin(), unique.end(), piece) == unique.end())
            unique.append(piece);
    }
    return unique;
}

} // namespace

QStringList LoTWActivityLookup::lookupKeys(QStringView callsign)
{
    const QString whole = normalisedWhole(callsign);
    if (whole.isEmpty())
        return {};
    QStringList keys{whole};
    if (!whole.contains(QLatin1Char('/')))
        return keys;
    for (const QStringView piece : keyPieces(whole))
        keys.append(piece.toString());
    return keys;
}

std::optional<QDate> LoTWActivityLookup::lastUpload(QStringView callsign) const
{
    const QString whole = normalisedWhole(callsign);
    if (whole.isEmpty())
        return std::nullopt;
    // The pieces are probed as views into `whole`, without copies: this runs for every spot.
    const Pieces pieces = whole.contains(QLatin1Char('/')) ? keyPieces(whole) : Pieces();
    QMutexLocker locker(&m_lock);
    if (const auto it = m_lastUploadByCallsign.constFind(whole);
        it != m_lastUploadByCallsign.cend())
        return *it;
    for (const QStringView piece : pieces) {
        const QString key = QString::fromRawData(piece.data(), piece.size());
        if (const auto it = m_lastUploadByCallsign.constFind(key);
            it != m_lastUploadByCallsign.cend())
            return *it;
    }
    return std::nullopt;
}

std::optional<QString> LoTWActivityLookup::lastUploadText(QStringView callsign) const
{
    const auto date = lastUpload(callsign);
    if (!date)
        return std::nullopt;
    return formatLongDateWithoutWeekday(*date, QLocale());
}

qsizetype LoTWActivityLookup::size() const
{
    QMutexLocker locker(&m_lock);
    return m_lastUploadByCallsign.size();
}

} // namespace varnello
