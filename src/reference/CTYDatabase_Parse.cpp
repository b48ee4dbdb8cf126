// Reading the country file (CTY_WT.DAT) into a CTYDatabase.

#include "CTYDatabase.h"
#include "CTYDatabaseData.h"

#include <QCollator>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace varnello {

namespace {

// A country file is well under a megabyte; anything this large is not one.
constexpr qint64 maxFileBytes = 64 * 1024 * 1024;

// Numbers of the file are read in the C locale with an optional sign: no blanks, no exponent,
// no "inf" or "nan".
bool isDecimalNumberText(QStringView s, bool allowFraction)
{
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    qsizetype intDigits = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        ++i;
        ++intDigits;
    }
    if (!allowFraction)
        return intDigits > 0 && i == s.size();
    qsizetype fracDigits = 0;
    if (i < s.size() && s[i] == u'.') {
        ++i;
        while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
            ++i;
            ++fracDigits;
        }
    }
    return (intDigits + fracDigits) > 0 && i == s.size();
}

std::optional<int> readInteger(QStringView s)
{
    if (!isDecimalNumberText(s, false))
        return std::nullopt;
    const QByteArray latin = s.toLatin1();
    const char *begin = latin.constData();
    if (*begin == '+')
        ++begin;
    int value = 0;
    auto [ptr, ec] = std::from_chars(begin, latin.constData() + latin.size(), value);
    if (ec != std::errc() || ptr != latin.constData() + latin.size())
        return std::nullopt;
    return value;
}

std::optional<double> readDouble(QStringView s)
{
    if (!isDecimalNumberText(s, true))
        return std::nullopt;
    const QByteArray latin = s.toLatin1();
    const char *begin = latin.constData();
    if (*begin == '+')
        ++begin;
    double value = 0;
    auto [ptr, ec] = std::from_chars(begin, latin.constData() + latin.size(), value);
    if (ec != std::errc() || ptr != latin.constData() + latin.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

struct Entity {
    int adifNumber = 0;
    QString name;
    QString primaryPrefix;
    int cqZone = 0;
    int ituZone = 0;
    QString continent;
    double latitude = 0;
    double longitude = 0;
    double utcOffset = 0;
    bool isNonDXCCEntity = false;
};

std::optional<Entity> parseHeader(QStringView line, int adifNumber)
{
    QStringView fields[8];
    qsizetype start = 0;
    for (int f = 0; f < 7; ++f) {
        const qsizetype colon = line.indexOf(u':', start);
        if (colon < 0)
            return std::nullopt;
        fields[f] = line.sliced(start, colon - start).trimmed();
        start = colon + 1;
    }
    fields[7] = line.sliced(start).trimmed();

    Entity e;
    e.adifNumber = adifNumber;
    e.name = fields[0].toString();
    const auto cq = readInteger(fields[1]);
    const auto itu = readInteger(fields[2]);
    const auto lat = readDouble(fields[4]);
    const auto lon = readDouble(fields[5]);
    const auto utc = readDouble(fields[6]);
    if (!cq || !itu || !lat || !lon || !utc)
        return std::nullopt;
    e.cqZone = *cq;
    e.ituZone = *itu;
    e.continent = fields[3].toString().toUpper();
    e.latitude = *lat;
    e.longitude = *lon;
    e.utcOffset = *utc;

    QStringView prefix = fields[7];
    if (prefix.endsWith(u':'))
        prefix.chop(1);
    prefix = prefix.trimmed();
    e.isNonDXCCEntity = prefix.startsWith(u'*');
    while (prefix.startsWith(u'*'))
        prefix = prefix.sliced(1);
    while (prefix.endsWith(u'*'))
        prefix.chop(1);
    e.primaryPrefix = prefix.toString().toUpper();
    return e;
}

struct TokenPatterns {
    QRegularExpression cq, itu, continent, position, utc;
    QRegularExpression removeCq, removeItu, removeContinent, removePosition, removeUtc;
};

const TokenPatterns &tokenPatterns()
{
    static const TokenPatterns p = [] {
        const auto opt = QRegularExpression::UseUnicodePropertiesOption;
        TokenPatterns t{
            QRegularExpression(QStringLiteral(R"(\((\d{1,2})\))"), opt),
            QRegularExpression(QStringLiteral(R"(\[(\d{1,2})\])"), opt),
            QRegularExpression(QStringLiteral(R"(\{([A-Z]{2})\})"), opt),
            QRegularExpression(
                QStringLiteral(R"(<\s*(-?\d+(?:\.\d+)?)\s*/\s*(-?\d+(?:\.\d+)?)\s*>)"), opt),
            QRegularExpression(QStringLiteral(R"(~\s*(-?\d+(?:\.\d+)?)\s*~)"), opt),
            QRegularExpression(QStringLiteral(R"(\(\d{1,2}\))"), opt),
            QRegularExpression(QStringLiteral(R"(\[\d{1,2}\])"), opt),
            QRegularExpression(QStringLiteral(R"(\{[A-Z]{2}\})"), opt),
            QRegularExpression(QStringLiteral(R"(<\s*-?\d+(?:\.\d+)?\s*/\s*-?\d+(?:\.\d+)?\s*>)"),
                               opt),
            QRegularExpression(QStringLiteral(R"(~\s*-?\d+(?:\.\d+)?\s*~)"), opt),
        };
        for (auto *re : {&t.cq, &t.itu, &t.continent, &t.position, &t.utc, &t.removeCq,
                         &t.removeItu, &t.removeContinent, &t.removePosition, &t.removeUtc})
            re->optimize();
        return t;
    }();
    return p;
}

// Builds the rule of one token; nullopt for a void token (nothing left once overrides are
// taken out).
std::optional<CTYDatabase::Rule> ruleOfToken(QStringView piece, const Entity &e)
{
    QString token;
    if (std::all_of(piece.begin(), piece.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        token.resize(piece.size());
        QChar *out = token.data();
        for (QChar c : piece) {
            const char16_t u = c.unicode();
            *out++ = QChar((u >= 'a' && u <= 'z') ? char16_t(u - 32) : u);
        }
    } else {
        token = piece.toString().toUpper();
    }
    const bool exact = token.startsWith(u'=');
    if (exact)
        token.remove(0, 1);

    CTYResult r{e.adifNumber, e.name,     e.primaryPrefix, e.cqZone,    e.ituZone,
                e.continent,  e.latitude, e.longitude,     e.utcOffset, e.isNonDXCCEntity};

    // Each override needs its own opening character; most tokens have none at all.
    const bool hasCq = token.contains(u'(');
    const bool hasItu = token.contains(u'[');
    const bool hasContinent = token.contains(u'{');
    const bool hasPosition = token.contains(u'<');
    const bool hasUtc = token.contains(u'~');
    if (hasCq || hasItu || hasContinent || hasPosition || hasUtc) {
        const TokenPatterns &p = tokenPatterns();
        if (hasCq) {
            if (auto m = p.cq.match(token); m.hasMatch()) {
                if (auto v = readInteger(m.capturedView(1)))
                    r.cqZone = *v;
            }
        }
        if (hasItu) {
            if (auto m = p.itu.match(token); m.hasMatch()) {
                if (auto v = readInteger(m.capturedView(1)))
                    r.ituZone = *v;
            }
        }
        if (hasContinent) {
            if (auto m = p.continent.match(token); m.hasMatch())
                r.continent = m.captured(1);
        }
        if (hasPosition) {
            if (auto m = p.position.match(token); m.hasMatch()) {
                if (auto v = readDouble(m.capturedView(1)))
                    r.latitude = *v;
                if (auto v = readDouble(m.capturedView(2)))
                    r.longitude = *v;
            }
        }
        if (hasUtc) {
            if (auto m = p.utc.match(token); m.hasMatch()) {
                if (auto v = readDouble(m.capturedView(1)))
                    r.utcOffset = *v;
            }
        }
        // Removing one override cannot create another's opening character, so the checks
        // above still hold for the removals.
        if (hasCq)
            token.remove(p.removeCq);
        if (hasItu)
            token.remove(p.removeItu);
        if (hasContinent)
            token.remove(p.removeContinent);
        if (hasPosition)
            token.remove(p.removePosition);
        if (hasUtc)
            token.remove(p.removeUtc);
    }
    QString key = token.trimmed();
    if (key.isEmpty())
        return std::nullopt;
    return CTYDatabase::Rule{std::move(key), exact, 0, std::move(r)};
}

} // namespace

CTYParseResult CTYDatabase::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileBytes)
        return {std::nullopt, CTYDatabaseError::unreadableFile(path)};
    const QByteArray bytes = file.read(maxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > maxFileBytes)
        return {std::nullopt, CTYDatabaseError::unreadableFile(path)};
    return parse(bytes);
}

CTYParseResult CTYDatabase::parse(const QByteArray &bytes)
{
    // Latin-1 accepts every byte sequence, so it is the last resort.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    return parse(text);
}

CTYParseResult CTYDatabase::parse(const QString &input)
{
    QString text = input;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (QStringView(text).trimmed().isEmpty())
        return {std::nullopt, CTYDatabaseError::emptyFile()};

    QList<QStringView> lines;
    for (QStringView line : QStringView(text).tokenize(u'\n'))
        lines.append(line);

    auto data = std::make_shared<Data>();

    for (qsizetype i = 0; i < std::min<qsizetype>(10, lines.size()); ++i) {
        const QStringView t = lines[i].trimmed();
        if (t.startsWith(u"# RELEASE ")) {
            const QStringView rest = t.sliced(10).trimmed();
            if (!rest.isEmpty()) {
                data->release = rest.toString();
                break;
            }
        }
    }

    // Kept as a flag and a value: GCC warns spuriously about an optional<int> here.
    bool hasPendingADIF = false;
    int pendingADIF = 0;
    int sequence = 0;
    CTYKeyIndex seenExact;
    qsizetype i = 0;
    while (i < lines.size()) {
        const int lineNumber = int(i + 1);
        const QStringView t = lines[i].trimmed();
        if (t.isEmpty()) {
            ++i;
            continue;
        }
        if (t.startsWith(u'#')) {
            if (t.startsWith(u"# ADIF ")) {
                const std::optional<int> number = readInteger(t.sliced(7).trimmed());
                hasPendingADIF = number.has_value();
                pendingADIF = number.value_or(0);
            }
            ++i;
            continue;
        }
        if (!hasPendingADIF) {
            return {std::nullopt,
                    CTYDatabaseError::malformedHeader(
                        lineNumber, QStringLiteral("Missing # ADIF line before: ") + t.toString())};
        }
        const std::optional<Entity> entity = parseHeader(t, pendingADIF);
        if (!entity)
            return {std::nullopt, CTYDatabaseError::malformedHeader(lineNumber, t.toString())};

        qsizetype end = i + 1;
        while (end < lines.size() && !lines[end].contains(u';'))
            ++end;
        if (end >= lines.size()) {
            return {std::nullopt, CTYDatabaseError::entryWithoutPrefixes(lineNumber, entity->name)};
        }
        QString joined;
        for (qsizetype k = i + 1; k <= end; ++k) {
            if (k > i + 1)
                joined += QLatin1Char(' ');
            joined += lines[k].trimmed();
        }
        QString cleaned;
        for (QStringView piece : QStringView(joined).tokenize(u',', Qt::SkipEmptyParts)) {
            if (piece.contains(u';')) {
                cleaned = piece.toString();
                cleaned.remove(QLatin1Char(';'));
                piece = cleaned;
            }
            const QStringView token = piece.trimmed();
            if (token.isEmpty())
                continue;
            std::optional<Rule> rule = ruleOfToken(token, *entity);
            if (!rule)
                continue;
            rule->sequence = sequence++;
            if (rule->isExactCallsign) {
                if (seenExact.emplace(rule->key, 0).second)
                    data->exactRules.push_back(std::move(*rule));
            } else {
                data->prefixRules.push_back(std::move(*rule));
            }
        }

        data->entities.append(CTYEntity{entity->adifNumber, entity->name, entity->primaryPrefix,
                                        entity->isNonDXCCEntity});
        ++data->entityCount;
        hasPendingADIF = false;
        i = end + 1;
    }

    // Rules were appended in file order, so a stable sort by length keeps file order within
    // each length.
    std::stable_sort(data->prefixRules.begin(), data->prefixRules.end(),
                     [](const Rule &a, const Rule &b) { return a.key.size() > b.key.size(); });

    QCollator collator{QLocale::system()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(data->entities.begin(), data->entities.end(),
                     [&collator](const CTYEntity &a, const CTYEntity &b) {
                         return collator.compare(a.name, b.name) < 0;
                     });

    data->ruleCount = int(data->prefixRules.size() + data->exactRules.size());
    data->buildIndex();
    return {CTYDatabase(std::move(data)), std::nullopt};
}

} // namespace varnello
