// Reading one answer of the Club Log chart service: the chart itself, or the few words that are
// kept of any other reply. Whatever came back is cut down here, once, so that no sentence shown
// later can hold more than a line of a page, whatever its size.
#include "ClubLogLookup.h"

#include "AlertCoding.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringDecoder>

namespace varnello {

namespace {

// Status values beyond this are not integers a chart can hold exactly.
constexpr qint64 largestExactInteger = (qint64(1) << 53);

// Only the start of a reply is read for its words; the rest is counted, never searched.
constexpr qsizetype readCharacters = 64 * 1024;
// Room past the start so that a secret running over its end is still found whole.
constexpr qsizetype secretMargin = 1024;

std::optional<QString> strictUtf8Trimmed(const QByteArray &body)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    QString text = decoder.decode(body);
    if (decoder.hasError())
        return std::nullopt;
    return text.trimmed();
}

std::optional<ClubLogDXCCChart> parseChart(const QByteArray &body)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    ClubLogDXCCChart chart;
    const QJsonObject entities = document.object();
    chart.reserve(entities.size());
    for (auto entity = entities.begin(); entity != entities.end(); ++entity) {
        if (!entity.value().isObject())
            return std::nullopt;
        const QJsonObject bands = entity.value().toObject();
        QHash<QString, qint64> table;
        table.reserve(bands.size());
        for (auto band = bands.begin(); band != bands.end(); ++band) {
            const auto status =
                alertcoding::strictInteger(band.value(), -largestExactInteger, largestExactInteger);
            if (!status)
                return std::nullopt;
            table.insert(band.key(), *status);
        }
        chart.insert(entity.key(), std::move(table));
    }
    return chart;
}

// The start of the text with the secrets taken out, ready to be read for its words.
QString scrubbedStart(const QString &text, const ClubLogTextScrub &scrub)
{
    QString start = text.left(readCharacters + secretMargin);
    if (scrub)
        start = scrub(std::move(start));
    start.truncate(readCharacters);
    return start;
}

bool looksLikeHtml(const QString &start)
{
    static const QRegularExpression document(
        QStringLiteral("<\\s*(!doctype|html|head|body|title)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return document.match(start).hasMatch();
}

QString withEntitiesDecoded(QString line)
{
    static const QRegularExpression numeric(QStringLiteral("&#(x[0-9a-fA-F]{1,6}|[0-9]{1,7});"));
    QString decoded;
    qsizetype from = 0;
    for (auto it = numeric.globalMatch(line); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        decoded += QStringView(line).mid(from, m.capturedStart() - from);
        const QString digits = m.captured(1);
        bool ok = false;
        const uint code = digits.startsWith(QLatin1Char('x')) ? digits.mid(1).toUInt(&ok, 16)
                                                              : digits.toUInt(&ok, 10);
        const char32_t character = char32_t(code);
        if (ok && code > 0x1f && code <= 0x10ffff && !(code >= 0xd800 && code <= 0xdfff))
            decoded += QString::fromUcs4(&character, 1);
        else
            decoded += QLatin1Char(' ');
        from = m.capturedEnd();
    }
    decoded += QStringView(line).mid(from);
    static const std::pair<const char *, const char *> named[] = {{"&nbsp;", " "}, {"&lt;", "<"},
                                                                  {"&gt;", ">"},   {"&quot;", "\""},
                                                                  {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto &[entity, character] : named)
        decoded.replace(QLatin1String(entity), QLatin1String(character), Qt::CaseInsensitive);
    return decoded;
}

QString cutToExcerpt(const QString &line)
{
    if (line.size() <= clubLogExcerptLength)
        return line;
    qsizetype cut = clubLogExcerptLength;
    const qsizetype blank = line.lastIndexOf(QLatin1Char(' '), cut);
    if (blank > cut * 3 / 4)
        cut = blank;
    else if (line.at(cut).isLowSurrogate())
        --cut;
    return line.left(cut).trimmed() + QChar(0x2026);
}

QString sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QString::number(bytes) +
               (bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    if (bytes < 1024 * 1024)
        return QString::number(qRound64(double(bytes) / 1024.0)) + QStringLiteral(" KiB");
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MiB");
}

// What a 200 reply that is no chart said. A short line of text (the service's own error
// sentences) is kept as it came; anything else is named by its size and kind with the first
// words of its text.
QString condensedReplyText(const QString &text, qint64 bodyBytes, const ClubLogTextScrub &scrub)
{
    const QString start = scrubbedStart(text, scrub);
    const bool html = looksLikeHtml(start);
    if (!html && text.size() <= clubLogExcerptLength && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return start;
    QString sentence = sizeText(bodyBytes) +
                       (html ? QStringLiteral(" of HTML") : QStringLiteral(" of text")) +
                       QStringLiteral(" (HTTP 200) instead of a DXCC matrix");
    const QString excerpt = clubLogReplyExcerpt(start);
    if (!excerpt.isEmpty())
        sentence += QStringLiteral(", beginning \u201c") + excerpt + QChar(0x201d);
    return sentence + QLatin1Char('.');
}

} // namespace

QString cleanClubLogErrorText(const QString &text)
{
    static const QRegularExpression tags(QStringLiteral("<[^>]+>"));
    static const QRegularExpression blanks(QStringLiteral("\\s+"),
                                           QRegularExpression::UseUnicodePropertiesOption);
    QString cleaned = text;
    cleaned.replace(tags, QStringLiteral(" "));
    cleaned.replace(blanks, QStringLiteral(" "));
    return cleaned.trimmed();
}

QString clubLogReplyExcerpt(const QString &page)
{
    // Scripts, styles and comments are never words meant for a reader; an unclosed one runs to
    // the end of what is read.
    static const QRegularExpression hidden(
        QStringLiteral("<(script|style)\\b.*?(</\\1\\s*>|\\z)|<!--.*?(-->|\\z)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]+>"));
    QString text = page.left(readCharacters);
    text.replace(hidden, QStringLiteral(" "));
    text.replace(tags, QStringLiteral(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QStringView line : QStringView(text).tokenize(QLatin1Char('\n'))) {
        QString words = withEntitiesDecoded(line.toString()).simplified();
        if (!words.isEmpty())
            return cutToExcerpt(words);
    }
    return {};
}

ClubLogChartResult decodeClubLogDXCCChartResponse(const HttpResult &result,
                                                  const ClubLogTextScrub &scrub)
{
    if (result.isTransportFailure())
        return {std::nullopt, ClubLogLookupError::transport(result.error)};
    if (result.status < 100)
        return {std::nullopt, ClubLogLookupError{}};
    if (result.status != 200) {
        std::optional<QString> text = strictUtf8Trimmed(result.body);
        if (text)
            text = clubLogReplyExcerpt(scrubbedStart(*text, scrub));
        return {std::nullopt, ClubLogLookupError::httpError(result.status, std::move(text))};
    }
    if (auto chart = parseChart(result.body))
        return {std::move(chart), std::nullopt};
    // The service answers some failures with a text or HTML page and status 200; so does a
    // hotel's or an airport's login page in its place.
    const auto text = strictUtf8Trimmed(result.body);
    if (text && !text->isEmpty())
        return {std::nullopt, ClubLogLookupError::clubLogError(
                                  condensedReplyText(*text, result.body.size(), scrub))};
    ClubLogLookupError invalid;
    invalid.kind = ClubLogLookupError::Kind::invalidJSON;
    return {std::nullopt, invalid};
}

} // namespace varnello
