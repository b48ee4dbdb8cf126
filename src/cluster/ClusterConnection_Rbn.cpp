// RBN skimmer set-up after login: reading the node's status, the one-time beacon kick, the
// operator's choice, and keeping the primary node's settings for the backup node.
#include "ClusterConnection.h"

#include "AppSettingsStore.h"
#include "PromptPatterns.h"

#include <utility>

namespace varnello {

void ClusterConnection::requestRBNStatus(bool loadRecentSpotsAfter, StepStart start)
{
    // A status still owed by a slow node is published when it comes.
    if (!m_isLoggedIn || m_awaitingRBNStatus || owes(OwedReply::rbnStatus))
        return;
    if (queueUntilItsTurn(WaitingStep::rbnStatus, start)) {
        setRbnStatusLoading(true);
        return;
    }
    m_awaitingRBNStatus = true;
    m_loadRecentSpotsAfterRBNStatus = loadRecentSpotsAfter;
    setRbnStatusLoading(true);
    setRbnStatusKnown(false);
    m_pendingRBNEnabled.reset();
    m_pendingRBNModes.clear();
    m_sawRBNBeaconStatusField = false;
    m_rbnStatusReplyBegun = false;
    m_promptBuffer.clear();
    sendLine(rbnStatusCommand.toString());
}

void ClusterConnection::parseRBNStatusLine(const QString &line)
{
    RBNStatusReply reply{m_pendingRBNEnabled, m_pendingRBNModes, m_sawRBNBeaconStatusField};
    if (!reply.apply(line))
        return;
    m_pendingRBNEnabled = reply.enabled;
    m_pendingRBNModes = reply.modes;
    m_sawRBNBeaconStatusField = reply.sawBeaconField;
}

bool ClusterConnection::takeRBNStatusLine(QStringView line)
{
    // The prompt that ended the step before goes where that step's lines went, unseen.
    if (m_handingOnStepPrompt)
        return true;
    // The node writes the reply and its prompt at once, so nothing of its own accord comes
    // between the reply's first line and its prompt: from there on every line is the reply's. A
    // prompt before it opens nothing, though it names the user.
    if (!m_rbnStatusReplyBegun &&
        (m_learnedPrompt.isCopy(line) ||
         prompts::endsInNodePrompt(line, m_loginCallsign, prompts::NodeKind::any) ||
         !opensRBNStatusReply(line, m_loginCallsign)))
        return line.trimmed().isEmpty();
    m_rbnStatusReplyBegun = true;
    parseRBNStatusLine(line.toString());
    return true;
}

void ClusterConnection::startRBNBootstrap()
{
    m_awaitingRBNStatus = false;
    const bool load = std::exchange(m_loadRecentSpotsAfterRBNStatus, false);
    if (wantsRBNBeaconKick(load)) {
        startRBNBeaconKick(load, StepStart::now);
        return;
    }
    publishRBNStatusReply();
    continueLoginAfterRBNStatus(load);
}

bool ClusterConnection::wantsRBNBeaconKick(bool partOfLogin) const
{
    // A node that does not list the beacon mode yet usually does after the mode was switched on
    // and off once; it is tried once per connection. As part of the login it is tried whenever
    // the beacon line is missing. A status that says nothing of RBN at all (a callsign new to the
    // node) would stay unknown, so it gets the kick too when it came late or was asked for by the
    // operator. The three commands are not worth their waits on a node whose prompt is not
    // recognised.
    if (m_sawRBNBeaconStatusField || m_rbnBootstrapAttempted || m_nodePromptUnconfirmed)
        return false;
    return partOfLogin || !m_pendingRBNEnabled;
}

void ClusterConnection::startRBNBeaconKick(bool loadRecentSpotsAfter, StepStart start)
{
    if (!m_isLoggedIn || m_rbnBootstrapAttempted ||
        queueUntilItsTurn(WaitingStep::rbnBeaconKick, start))
        return;
    m_pendingRBNEnabled.reset();
    m_pendingRBNModes.clear();
    m_rbnBootstrapAttempted = true;
    // Kept through the kick: the status read at its end goes on with the login only when the
    // first one would have.
    m_loadRecentSpotsAfterRBNStatus = loadRecentSpotsAfter;
    setRbnStatusLoading(true);
    setRbnStatusKnown(false);
    m_rbnBootstrapState = RBNBootstrapState::enablingBeacon;
    m_promptBuffer.clear();
    sendLine(rbnBeaconKickCommand.toString());
}

void ClusterConnection::publishRBNStatusReply()
{
    setRbnStatusLoading(false);
    if (!m_pendingRBNEnabled) {
        setRbnStatusKnown(false);
    } else {
        const bool enabled = *m_pendingRBNEnabled;
        setRbnEnabled(enabled);
        setRbnModes(enabled ? m_pendingRBNModes : RBNModeSet{});
        setRbnStatusKnown(true);
        bumpRbnStateVersion();
    }
    m_pendingRBNEnabled.reset();
    m_pendingRBNModes.clear();

    if (m_rbnStatusKnown && m_activeNodeRole == ClusterNodeRole::primary)
        savePrimaryRBNStatus(m_rbnEnabled, m_rbnModes);
}

void ClusterConnection::continueLoginAfterRBNStatus(bool load)
{
    if (!load)
        return;
    if (m_rbnStatusKnown && m_activeNodeRole == ClusterNodeRole::backup &&
        mirrorPrimaryRBNToBackup(true))
        return; // the sequence goes on at the mirror command's prompt
    startUpstreamFilterCheck();
}

void ClusterConnection::continueRBNBootstrap()
{
    switch (m_rbnBootstrapState) {
    case RBNBootstrapState::idle:
        return;
    case RBNBootstrapState::enablingBeacon:
        m_rbnBootstrapState = RBNBootstrapState::disablingRBN;
        m_promptBuffer.clear();
        sendLine(rbnDisableCommand.toString());
        return;
    case RBNBootstrapState::disablingRBN:
        m_rbnBootstrapState = RBNBootstrapState::idle;
        m_promptBuffer.clear();
        requestRBNStatus(std::exchange(m_loadRecentSpotsAfterRBNStatus, false), StepStart::now);
        return;
    }
}

void ClusterConnection::applyRBNSettings(bool enabled, const RBNModeSet &modes)
{
    if (!m_isLoggedIn)
        return;
    const std::optional<QString> command = rbnSettingsCommand(enabled, modes);
    if (!command)
        return; // enabled without any mode: the node has no command for it
    echoAndSendLine(*command);

    // The node's answer is not read back; what was sent is what is shown.
    const RBNModeSet applied = enabled ? modes : RBNModeSet{};
    setRbnEnabled(enabled);
    setRbnModes(applied);
    setRbnStatusKnown(true);
    bumpRbnStateVersion();
    if (m_activeNodeRole == ClusterNodeRole::primary)
        savePrimaryRBNStatus(enabled, applied);
}

bool ClusterConnection::mirrorPrimaryRBNToBackup(bool loadRecentSpotsAfter)
{
    if (m_activeNodeRole != ClusterNodeRole::backup)
        return false;
    const std::optional<PrimaryRBNStatus> saved = loadPrimaryRBNStatus();
    if (!saved)
        return false;
    const std::optional<QString> command =
        backupMirrorCommand(*saved, m_rbnStatusKnown, m_rbnEnabled, m_rbnModes);
    if (!command)
        return false;

    m_awaitingBackupRBNMirrorPrompt = true;
    m_loadRecentSpotsAfterBackupRBNMirror = loadRecentSpotsAfter;
    m_promptBuffer.clear();
    sendLine(*command);
    setRbnEnabled(saved->enabled);
    setRbnModes(saved->enabled ? saved->modes : RBNModeSet{});
    setRbnStatusKnown(true);
    bumpRbnStateVersion();
    return true;
}

void ClusterConnection::savePrimaryRBNStatus(bool enabled, const RBNModeSet &modes)
{
    writePrimaryRBNStatus(settings(), enabled, modes);
}

std::optional<PrimaryRBNStatus> ClusterConnection::loadPrimaryRBNStatus() const
{
    return readPrimaryRBNStatus(settings());
}

} // namespace varnello
