#include "ClusterFilterChecker.h"

#include <QRegularExpression>

#include <utility>

namespace varnello {

namespace {

constexpr QLatin1StringView noFiltersLineStart("no filters defined for ");

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
    forgetReply();
    return true;
}

void ClusterFilterChecker::forgetReply()
{
    m_sawNoFiltersLine = false;
    m_sawFilterLine = false;
    m_sawOwnOverride = false;
    m_responseLines.clear();
}

bool ClusterFilterChecker::captureLine(QStringView line)
{
    // Each line is judged as it arrives, so the work is spread over the reads like that of live
    // lines, and the end of the check costs nothing however much the node sent.
    if (!m_isAwaitingResponse)
        return false;
    if (m_sawNoFiltersLine)
        return true;
    const QStringView trimmed = line.trimmed().left(maximumResponseLineLength);
    if (trimmed.isEmpty())
        return true;
    const QString lowered = trimmed.toString().toLower();
    if (lowered.startsWith(noFiltersLineStart)) {
        m_sawNoFiltersLine = true;
        m_responseLines.clear();
        return true;
    }
    if (!isFilterLine(lowered))
        return m_sawFilterLine;
    m_sawFilterLine = true;
    if (isOwnOverrideLine(lowered))
        m_sawOwnOverride = true;
    else if (m_responseLines.size() < maximumResponseLines)
        m_responseLines.append(trimmed.toString());
    return true;
}

bool ClusterFilterChecker::opensReply(QStringView line)
{
    const QString lowered = line.trimmed().left(maximumResponseLineLength).toString().toLower();
    return lowered.startsWith(noFiltersLineStart) || isFilterLine(lowered);
}

void ClusterFilterChecker::markCheckDone()
{
    if (m_hasCompletedSessionCheck)
        return;
    m_hasCompletedSessionCheck = true;
    m_isAwaitingResponse = false;
    forgetReply();
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
    const QStringList foreign = std::exchange(m_responseLines, {});
    const bool noFilters = m_sawNoFiltersLine;
    const bool anyFilterLine = m_sawFilterLine;
    const bool ownPresent = m_sawOwnOverride;
    forgetReply();
    const bool ssid = callsignHasNumericSSID(callsign);

    if (noFilters)
        return {NoForeignFilters{ssid}, true};
    if (foreign.isEmpty())
        return {NoForeignFilters{ssid && !anyFilterLine}, true};
    if (warningSuppressed)
        return {WarningSuppressed{ssid && ownPresent}, false};
    return {ForeignFilters{foreign, ssid && ownPresent}, false};
}

} // namespace varnello
