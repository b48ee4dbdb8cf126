#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <variant>

namespace varnello {

// Commands of the upstream filter check; all are sent without a console echo.
inline constexpr QStringView upstreamFilterListCommand = u"sh/filter";
inline constexpr QStringView ssidFilterOverrideCommand = u"rej/spot 9 on 100000/100001";
inline constexpr QStringView ssidFilterOverrideClearCommand = u"clear/spots 9";
inline constexpr QStringView upstreamFilterClearAllCommand = u"clear/spots all";

// No filter of another origin is set on the node.
struct NoForeignFilters {
    bool shouldSendOverride = false;
    bool operator==(const NoForeignFilters &) const = default;
};

// Filters of another origin were found; the operator is to be warned about these lines.
struct ForeignFilters {
    QStringList lines;
    bool includesOwnOverride = false;
    bool operator==(const ForeignFilters &) const = default;
};

// Filters of another origin were found but the operator turned the warning off.
struct WarningSuppressed {
    bool shouldClearOverride = false;
    bool operator==(const WarningSuppressed &) const = default;
};

using UpstreamFilterCheckResult = std::variant<NoForeignFilters, ForeignFilters, WarningSuppressed>;

struct UpstreamFilterEvaluation {
    UpstreamFilterCheckResult result;
    // The stored choice to silence the warning is forgotten once a check finds the node clean,
    // so the warning can appear again should foreign filters come back.
    bool removeWarningSuppression = false;
    bool operator==(const UpstreamFilterEvaluation &) const = default;
};

// What the connection does once a check has been evaluated.
enum class UpstreamFilterFollowUp {
    awaitOperatorChoice, // the warning sheet is shown; nothing is sent until the operator answers
    sendSSIDFilterOverride,  // "rej/spot 9 on 100000/100001", then the recent-spot back-fill
    clearSSIDFilterOverride, // "clear/spots 9", then the recent-spot back-fill
    loadRecentSpots,
};

UpstreamFilterFollowUp followUpFor(const UpstreamFilterCheckResult &result);

// True when the callsign ends in a hyphen followed only by digits (an SSID such as "-2").
bool callsignHasNumericSSID(QStringView callsign);

// Lists the node's spot filters once per program run and judges whether any of them was set up by
// someone else. Confined to the main thread; owned by the cluster connection for the whole run.
class ClusterFilterChecker final {
public:
    // A real reply is a handful of short lines; a node that never ends it, or never ends its
    // lines, must neither grow memory nor leave a pile of text to judge when the check ends.
    static constexpr qsizetype maximumResponseLines = 100;
    static constexpr qsizetype maximumResponseLineLength = 1024;

    ClusterFilterChecker() = default;
    ClusterFilterChecker(const ClusterFilterChecker &) = delete;
    ClusterFilterChecker &operator=(const ClusterFilterChecker &) = delete;

    bool hasCompletedSessionCheck() const { return m_hasCompletedSessionCheck; }
    bool isAwaitingResponse() const { return m_isAwaitingResponse; }
    // The filter lines of another origin collected so far; other lines are judged as they
    // arrive and not kept.
    const QStringList &responseLines() const { return m_responseLines; }

    // Starts collecting a reply unless this run's check is done (`force` repeats it anyway) or a
    // reply is already being collected. Returns whether it started.
    bool begin(bool force);
    // Whether the line is part of the reply: a filter line or the line saying there are none
    // opens it, and what follows belongs to it. Other lines (what the node sends of its own
    // accord before the reply) are not kept.
    bool captureLine(QStringView line);
    // Whether a line can open a filter list.
    static bool opensReply(QStringView line);
    // Counts the check of this run as done without running it.
    void markCheckDone();
    // Stops collecting without judging the reply (the check is not done); returns what was
    // collected.
    QStringList takeResponse();
    // Judges the collected reply. `warningSuppressed` is the operator's stored choice not to be
    // warned about foreign filters.
    UpstreamFilterEvaluation evaluate(QStringView callsign, bool warningSuppressed);

private:
    void forgetReply();

    bool m_hasCompletedSessionCheck = false;
    bool m_isAwaitingResponse = false;
    // What the lines collected so far showed.
    bool m_sawNoFiltersLine = false;
    bool m_sawFilterLine = false;
    bool m_sawOwnOverride = false;
    QStringList m_responseLines;
};

} // namespace varnello
