// The upstream filter check after login: list the node's spot filters once per run, warn about
// filters set up elsewhere, and keep or clear the program's own SSID filter.
#include "ClusterConnection.h"

#include "AppSettingsStore.h"

namespace varnello {

bool ClusterConnection::loginCallsignHasNumericSSID() const
{
    return callsignHasNumericSSID(m_loginCallsign);
}

void ClusterConnection::startUpstreamFilterCheck()
{
    if (m_activeNodeRole == ClusterNodeRole::backup) {
        // Filters are only looked after on the primary node, and there is no back-fill here.
        m_clusterFilterChecker.markCheckDone();
        return;
    }
    // An operator who connects by hand with an SSID callsign gets the check again, since the
    // own filter of that SSID may have been cleared meanwhile.
    const bool force =
        loginCallsignHasNumericSSID() && m_connectionOrigin == ConnectionOrigin::manual;
    if (!m_clusterFilterChecker.begin(force)) {
        loadRecentSpots(StepStart::now);
        return;
    }
    m_promptBuffer.clear();
    sendLine(upstreamFilterListCommand.toString());
}

void ClusterConnection::finishUpstreamFilterCheck(bool late)
{
    const bool suppressed = settings().boolValue(SettingsKeys::suppressUpstreamFilterWarning);
    const UpstreamFilterEvaluation evaluation =
        m_clusterFilterChecker.evaluate(m_loginCallsign, suppressed);
    if (evaluation.removeWarningSuppression)
        settings().removeValue(QString(SettingsKeys::suppressUpstreamFilterWarning.name));

    // After a late reply the sequence has gone on: the follow-up takes its turn.
    const StepStart start = late ? StepStart::inTurn : StepStart::now;
    switch (followUpFor(evaluation.result)) {
    case UpstreamFilterFollowUp::awaitOperatorChoice: {
        const auto &found = std::get<ForeignFilters>(evaluation.result);
        m_warningIncludesSSIDFilterOverride = found.includesOwnOverride;
        setUpstreamFilterWarningLines(found.lines);
        return; // the sequence waits for the operator's answer in the warning sheet
    }
    case UpstreamFilterFollowUp::sendSSIDFilterOverride:
        sendSSIDFilterOverride(start);
        return;
    case UpstreamFilterFollowUp::clearSSIDFilterOverride:
        clearSSIDFilterOverride(start);
        return;
    case UpstreamFilterFollowUp::loadRecentSpots:
        // After a late reply the back-fill already ran; nothing changed on the node since.
        if (!late)
            loadRecentSpots(StepStart::now);
        return;
    }
}

void ClusterConnection::sendSSIDFilterOverride(StepStart start)
{
    if (m_activeNodeRole == ClusterNodeRole::backup || !loginCallsignHasNumericSSID()) {
        loadRecentSpots(start);
        return;
    }
    if (queueUntilItsTurn(WaitingStep::sendSSIDFilterOverride, start))
        return;
    m_awaitingSSIDFilterOverride = true;
    m_promptBuffer.clear();
    sendLine(ssidFilterOverrideCommand.toString());
}

void ClusterConnection::clearSSIDFilterOverride(StepStart start)
{
    if (m_activeNodeRole == ClusterNodeRole::backup || !loginCallsignHasNumericSSID()) {
        loadRecentSpots(start);
        return;
    }
    if (queueUntilItsTurn(WaitingStep::clearSSIDFilterOverride, start))
        return;
    m_awaitingSSIDFilterOverrideClear = true;
    m_promptBuffer.clear();
    sendLine(ssidFilterOverrideClearCommand.toString());
}

void ClusterConnection::clearUpstreamFilters(StepStart start)
{
    setUpstreamFilterWarningLines(std::nullopt);
    m_warningIncludesSSIDFilterOverride = false;
    if (queueUntilItsTurn(WaitingStep::clearUpstreamFilters, start))
        return;
    m_awaitingUpstreamFilterClear = true;
    m_promptBuffer.clear();
    sendLine(upstreamFilterClearAllCommand.toString());
}

void ClusterConnection::dismissUpstreamFilterWarning()
{
    setUpstreamFilterWarningLines(std::nullopt);
}

} // namespace varnello
