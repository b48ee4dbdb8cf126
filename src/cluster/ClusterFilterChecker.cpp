#include "ClusterFilterChecker.h"

#include <QRegularExpression>

#include <utility>

namespace varnello {

namespace {

bool isFilterLine(const QString &lowered)
{
    static const QRegularExpression pattern(QStringLiteral("^filter\\d+\\s+"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return pattern.match(lowered).hasMatch();
}

QString withoutWhiteSpace(const QString &text)
{
    QString compact;
    compact.reserve(text.size());
    for (QChar c : text) {
        if (!c.isSpace())
            compact.append(c);
    }
    return compact;
}

bool isOwnOverrideLine(const QString &lowered)
{
    return withoutWhiteSpace(lowered) == QLatin1String("filter9rejecton100000/100001");
}

} // namespace

UpstreamFilterFollowUp followUpFor(const UpstreamFilterCheckResult &result)
{
    if (const auto *clean = std::get_if<NoForeignFilters>(&result)) {
        return clean->shouldSendOverride ? UpstreamFilterFollowUp::sendSSIDFilterOverride
                                         : UpstreamFilterFollowUp::loadRecentSpots;
    }
    if (const auto *suppressed = std::get_if<WarningSuppressed>(&result)) {
        return suppressed->shouldClearOverride ? UpstreamFilterFollowUp::clearSSIDFilterOverride
                                               : UpstreamFilterFollowUp::loadRecentSpots;
    }
    return UpstreamFilterFollowUp::awaitOperatorChoice;
}

bool callsignHasNumericSSID(QStringView callsign)
{
    const QStringView trimmed = callsign.trimmed();
    const qsizetype hyphen = trimmed.lastIndexOf(u'-');
    if (hyphen < 0 || hyphen + 1 >= trimmed.size())
        return false;
    for (QChar c : trimmed.mid(hyphen + 1)) {
        if (!c.isNumber())
            return false;
    }
    return true;
}

bool ClusterFilterChecker::begin(bool force)
{
    if ((m_hasCompletedSessionCheck && !force) || m_isAwaitingResponse)
        return false;
    m_isAwaitingResponse = true;
    m_responseLines.clear();
    return true;
}

void ClusterFilterChecker::captureLine(QStringView line)
{
    if (!m_isAwaitingResponse)
        return;
    const QStringView trimmed = line.trimmed();
    if (trimmed.isEmpty() || m_responseLines.size() >= maximumResponseLines)
        return;
    m_responseLines.append(trimmed.toString());
}

void ClusterFilterChecker::markCheckDone()
{
    if (m_hasCompletedSessionCheck)
        return;
    m_hasCompletedSessionCheck = true;
    m_isAwaitingResponse = false;
    m_responseLines.clear();
}

QStringList ClusterFilterChecker::takeResponse()
{
    m_isAwaitingResponse = false;
    return std::exchange(m_responseLines, {});
}

UpstreamFilterEvaluation ClusterFilterChecker::evaluate(QStringView callsign,
                                                        bool warningSuppressed)
{
    if (!m_isAwaitingResponse)
        return {NoForeignFilters{false}, false};

    m_hasCompletedSessionCheck = true;
    m_isAwaitingResponse = false;
    const QStringList lines = std::exchange(m_responseLines, {});
    const bool ssid = callsignHasNumericSSID(callsign);

    QStringList lowered;
    lowered.reserve(lines.size());
    for (const QString &line : lines) {
        lowered.append(line.toLower());
        if (lowered.constLast().startsWith(QLatin1String("no filters defined for ")))
            return {NoForeignFilters{ssid}, true};
    }

    bool anyFilterLine = false;
    bool ownPresent = false;
    QStringList foreign;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isFilterLine(lowered.at(i)))
            continue;
        anyFilterLine = true;
        if (isOwnOverrideLine(lowered.at(i)))
            ownPresent = true;
        else
            foreign.append(lines.at(i));
    }

    if (foreign.isEmpty())
        return {NoForeignFilters{ssid && !anyFilterLine}, true};
    if (warningSuppressed)
        return {WarningSuppressed{ssid && ownPresent}, false};
    return {ForeignFilters{foreign, ssid && ownPresent}, false};
}

} // namespace varnello
