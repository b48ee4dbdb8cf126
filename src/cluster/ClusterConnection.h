#pragma once

#include "AutoReconnectController.h"
#include "CTYLookupCache.h"
#include "ClusterFilterChecker.h"
#include "ClusterTask.h"
#include "ClusterTypes.h"
#include "DXSpot.h"
#include "DXSpotParser.h"
#include "LearnedPrompt.h"
#include "PromptQuestion.h"
#include "RBNMode.h"
#include "RbnSkimmerSettings.h"
#include "SettingsKeys.h"
#include "TcpConnection.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

class QTcpSocket;

namespace varnello {

class AppSettingsStore;
class CTYDatabase;
class CTYFileManager;
class Clock;
class PowerEvents;
class PublicAddressSource;
class UDPSpotFeedSender;
class LocalSpotServer;

// Every duration the connection waits for. Tests pass scaled values so that a 300 s timer runs
// in a fraction of a second.
struct ClusterTiming {
    using ms = std::chrono::milliseconds;
    ms primaryReconnectAttemptTimeout{5000};
    ms backupConnectionAttemptTimeout{5000};
    ms callsignSendWatchdog{5000};
    ms backupRetryDelay{2000};
    ms registrationRecheck{1800 * 1000};
    ms keepaliveIdle{300 * 1000};
    ms keepaliveResponseTimeout{5000};
    ms systemWakeReconnectDelay{1000};
    ms primaryRecoveryInterval{900 * 1000};
    ms primaryRecoveryProbeTimeout{5000};
    // A post-login step whose closing prompt never comes (or was missed) is ended after this
    // long, so that the sequence goes on and the node's lines reach the console again.
    ms stepReplyTimeout{15000};
    // Once a step has timed out although the node answered, the node's prompt is not one this
    // program knows: the following steps wait this long at most (never longer than
    // stepReplyTimeout) until a prompt is recognised again.
    ms stepReplyTimeoutWithoutKnownPrompt{2000};
    // A command the node has not answered at all by its step's time-out is still answered later
    // by a slow node: its reply and prompt are told apart from the next command's for this long
    // after the time-out (an operator line's, after it was written).
    ms lateReplyTimeout{60000};
    // An unfinished line that already reads as a spot is taken as complete only when nothing
    // more arrived for this long.
    ms tailSettleDelay{40};
    // After the callsign, a line ending in ">" that names no known node type may be the node's
    // prompt, a line of its greeting or its traffic (see PromptQuestion). The node is asked about
    // it with two empty lines once it has been quiet this long; more greeting or a known prompt
    // within this time makes the question needless.
    ms promptQuestionQuiet{1000};
    // The answer to the empty lines is awaited at least this long (longer when the node was slow
    // to answer the callsign; the login watchdog waits with it); a line shaped like a prompt
    // that has met nothing but spots and chatter by then is taken for the prompt of a node that
    // ignores empty lines.
    ms promptQuestionWait{4000};
    // The node's two answers come this close together; traffic never does.
    ms promptQuestionPairSpan{300};
    // While spots pour in after login, reads closer together than this are gathered and handled
    // in one go this long after the previous handling (a quarter more when the stream pauses).
    ms readGatherWindow{150};
    // How often an attempt that cannot reach the node tries again while it waits.
    ms connectRetryInterval{1000};
    // Timing of the automatic reconnect controller (pause and rate limit).
    AutoReconnectController::Timing autoReconnect{};
};

// What the connection uses besides the data-file manager. Null members take the process-wide
// instance (settings, clock) or mean "not available" (public address, sleep and wake notices).
struct ClusterConnectionEnvironment {
    AppSettingsStore *settings = nullptr;
    const Clock *clock = nullptr;
    PublicAddressSource *publicAddress = nullptr;
    PowerEvents *powerEvents = nullptr;
    ClusterTiming timing{};
    // The node the program ships as its primary; registration notices are only believed from it.
    QString defaultPrimaryHost = SettingsDefaults::primaryClusterHost;
};

// The one telnet connection to a DX cluster node, and everything the main window shows of it: the
// spot list, the console, the status line, the login and node state, the RBN state and the
// warnings. Confined to the main thread; created once by the application and kept for its life.
//
// The implementation is split by job: ClusterConnection.cpp (set-up, published state, console,
// country data), _Connect.cpp (connect, connection states, teardown), _Send.cpp (sending),
// _Receive.cpp (receive loop, line dispatch, back-fill), _Framing.cpp (lines, prompts and spots
// cut by a read), _Login.cpp (login and node type; the prompt patterns are PromptPatterns, a
// prompt the user set is LearnedPrompt), _PromptQuestion.cpp (a line before the login that may be
// the prompt of an unknown node; the decisions are PromptQuestion's), _Steps.cpp (what ends a
// post-login step, lines shown while one runs, what came before a command went out), _Failover.cpp
// and _Keepalive.cpp (reconnect policy, probe, keepalive, sleep and wake), _Rbn.cpp and
// _Filters.cpp (post-login set-up), _Feeds.cpp (local spot server and UDP feed).
class ClusterConnection final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClusterConnection)

public:
    static constexpr qsizetype maximumLines = 5000;
    static constexpr qsizetype maximumSpots = 5000;
    // Longer console lines are shortened (and end in "…").
    static constexpr qsizetype maximumConsoleLineLength = 1024;
    static constexpr qsizetype maximumPromptBufferLength = 4096;
    // An unfinished line longer than this is handled as a line of its own, so that a node that
    // never sends a line break can neither exhaust memory nor make every chunk re-parse the whole
    // buffer.
    static constexpr qsizetype maximumPartialLineLength = 8192;
    // A spot line is about 80 characters. Longer text that begins like one (the cut pieces of a
    // line without end) is no spot: kept as one, it would hold kilobytes in the spot list.
    static constexpr qsizetype maximumSpotLineLength = 512;
    // A back-fill batch larger than the spot list could never be shown in full.
    static constexpr qsizetype maximumPendingRecentSpots = 5000;
    static constexpr qint64 receiveChunkBytes = 65536;
    static constexpr int primaryReconnectFailuresBeforeFailover = 3;
    static constexpr int backupConnectionFailuresBeforeGivingUp = 3;
    // Logins in a row that never completed (no prompt, stalled, closed) before the automatic
    // reconnect gives up with an alert; at five to seven seconds per try, well under a minute.
    static constexpr int failedLoginsBeforeGivingUp = 7;
    static constexpr quint16 defaultPrimaryPort = 7300;
    // Operator commands and spots that may wait for the node to answer what it was asked before.
    static constexpr qsizetype maximumWaitingRequests = 20;
    static constexpr QLatin1StringView recentSpotsCommand{"sh/dx filter real 50"};
    // Held in lower case: it is compared with lower-cased node lines.
    static constexpr QLatin1StringView defaultNodeRegistrationAddress{"register@ka2pbt.com"};

    ClusterConnection(CTYFileManager *ctyFileManager, ClusterConnectionEnvironment environment = {},
                      QObject *parent = nullptr);
    ~ClusterConnection() override;

    // --- Published state (each has a change signal below).
    const QList<DXSpot> &spots() const { return m_spots; }
    const QList<ClusterLine> &lines() const { return m_lines; }
    const QString &statusText() const { return m_statusText; }
    bool isConnected() const { return m_isConnected; }
    bool isLoggedIn() const { return m_isLoggedIn; }
    LoginState loginState() const { return m_loginState; }
    const QString &activeHost() const { return m_activeHost; }
    std::optional<quint16> activePort() const { return m_activePort; }
    const QString &activeCallsign() const { return m_activeCallsign; }
    bool registrationRequired() const { return m_registrationRequired; }
    bool isConnectionSequenceActive() const { return m_isConnectionSequenceActive; }
    bool rbnStatusKnown() const { return m_rbnStatusKnown; }
    bool rbnStatusLoading() const { return m_rbnStatusLoading; }
    bool rbnEnabled() const { return m_rbnEnabled; }
    const RBNModeSet &rbnModes() const { return m_rbnModes; }
    qint64 rbnStateVersion() const { return m_rbnStateVersion; }
    const std::optional<QString> &spotSubmissionAlertMessage() const
    {
        return m_spotSubmissionAlertMessage;
    }
    const std::optional<QStringList> &upstreamFilterWarningLines() const
    {
        return m_upstreamFilterWarningLines;
    }
    ClusterNodeType detectedNodeType() const { return m_detectedNodeType; }
    const std::optional<ClusterNodeWarning> &clusterNodeWarning() const
    {
        return m_clusterNodeWarning;
    }
    // The main window's connect action and the start-up connect set this just before connect().
    void setIsConnectionSequenceActive(bool active);

    AutoReconnectController &autoReconnectController() { return *m_autoReconnectController; }
    ClusterFilterChecker &clusterFilterChecker() { return m_clusterFilterChecker; }
    const ClusterTiming &timing() const { return m_timing; }

    // --- Console.
    void appendConsoleLine(const QString &text);

    // --- Main window actions.
    // "Clear Spots": empties the spot list and nothing else.
    void clearSpots();
    // The "Unable to send spot" alert was dismissed.
    void dismissSpotSubmissionAlert() { setSpotSubmissionAlertMessage(std::nullopt); }

    // --- Connecting, disconnecting, sending.
    void connect(const QString &host, quint16 port, const QString &callsign,
                 const QString &password, ClusterNodeRole role, bool allowFailover,
                 bool loadRecentSpotsAfterLogin, ConnectionOrigin origin);
    // A connection sequence to the primary node, as "Connect" and the start-up connection begin
    // one: marks the sequence active, ends any return-to-primary probing, then connects.
    void startPrimaryConnection(const QString &host, quint16 port, const QString &callsign,
                                const QString &password, bool allowFailover,
                                ConnectionOrigin origin);
    void disconnect();
    // Both return whether the line was sent or taken to be sent once the post-login steps have
    // ended (it shows at once as waiting, and is echoed again when written if other lines came
    // in between); false when it was refused.
    bool sendUserCommand(const QString &text);
    bool sendSpot(const QString &callsign, const QString &frequency, const QString &comment);
    // Operator lines and steps started outside the post-login sequence that wait for their turn.
    qsizetype waitingRequestCount() const { return m_waitingRequests.size(); }

    // --- Login and node type.
    void continueWithReducedFeatures();
    void clearSuppressedNodeWarningIfChanged(const QString &host, const QString &portText);
    // What the warning sheet stores to silence the warning for one node.
    static QString nodeIdentity(const QString &host, quint16 port)
    {
        return varnello::nodeIdentity(host, port);
    }
    static bool isARClusterPrompt(const QString &buffer, const QString &callsign);
    static bool isCCClusterPrompt(const QString &buffer, const QString &callsign);
    static bool isDXSpiderPrompt(const QString &buffer, const QString &callsign);
    static bool containsCallsignPrompt(const QString &buffer);
    static bool containsPasswordPrompt(const QString &buffer);
    static std::optional<DuplicateConnection> parseDuplicateLoginLine(const QString &line);
    // --- Back-fill of recent spots (also the filter warning sheet's "No" choices). Like every
    // step the operator starts here (the RBN popover's Refresh, the filter warning's choices), it
    // goes out once the node has answered what it was asked before.
    void loadRecentSpots() { loadRecentSpots(StepStart::inTurn); }

    // --- Failover, return to the primary node, registration re-check (ClusterConnection_Failover).
    void stopPrimaryRecovery();
    void restoreDefaultPrimaryNode();
    void startRegistrationRecheck();

    // --- RBN skimmer set-up (ClusterConnection_Rbn).
    void requestRBNStatus(bool loadRecentSpotsAfter)
    {
        requestRBNStatus(loadRecentSpotsAfter, StepStart::inTurn);
    }
    void applyRBNSettings(bool enabled, const RBNModeSet &modes);

    // --- Upstream filter check (ClusterConnection_Filters).
    void clearUpstreamFilters() { clearUpstreamFilters(StepStart::inTurn); }
    void clearSSIDFilterOverride() { clearSSIDFilterOverride(StepStart::inTurn); }
    bool warningIncludesSSIDFilterOverride() const { return m_warningIncludesSSIDFilterOverride; }
    void setWarningIncludesSSIDFilterOverride(bool value)
    {
        m_warningIncludesSSIDFilterOverride = value;
    }
    void dismissUpstreamFilterWarning(); // clears upstreamFilterWarningLines

    // --- Local telnet spot server and UDP feed (ClusterConnection_Feeds).
    void startLocalSpotServer(quint16 port);
    void stopLocalSpotServer();
    std::optional<quint16> localServerPort() const;
    bool isLocalSpotServerListening() const;
    void broadcastSpot(const DXSpot &spot);
    const QString &udpFeedMode() const { return m_udpFeedMode; }
    void setUdpFeedMode(const QString &mode) { m_udpFeedMode = mode; }
    UDPSpotFeedSender *udpFeedSender() const { return m_udpFeedSender; }

signals:
    void spotsChanged();
    void linesChanged();
    void statusTextChanged();
    void isConnectedChanged();
    void isLoggedInChanged();
    void loginStateChanged();
    void activeNodeChanged(); // activeHost, activePort, activeCallsign
    void registrationRequiredChanged();
    void isConnectionSequenceActiveChanged();
    void rbnStateChanged(); // rbnStatusKnown, rbnStatusLoading, rbnEnabled, rbnModes, version
    void spotSubmissionAlertMessageChanged();
    void upstreamFilterWarningLinesChanged();
    void detectedNodeTypeChanged();
    void clusterNodeWarningChanged();
    // The reconnect controller changed (its alert in particular).
    void autoReconnectChanged();
    // One value per live spot, right after it was inserted into spots(). Back-filled spots are
    // never sent.
    void liveSpotReceived(const varnello::DXSpot &spot);

private:
    // Benchmarks and white-box tests feed received bytes without a socket.
    friend struct ClusterConnectionTestAccess;

    // ===== Published-state setters (ClusterConnection.cpp): emit only on a real change.
    void setStatusText(const QString &text);
    void setIsConnected(bool value);
    void setIsLoggedIn(bool value);
    void setLoginState(LoginState state);
    void setActiveNode(const QString &host, std::optional<quint16> port, const QString &callsign);
    void setRegistrationRequired(bool value);
    void setRbnStatusKnown(bool value);
    void setRbnStatusLoading(bool value);
    void setRbnEnabled(bool value);
    void setRbnModes(const RBNModeSet &modes);
    void bumpRbnStateVersion();
    void setSpotSubmissionAlertMessage(const std::optional<QString> &message);
    void setUpstreamFilterWarningLines(const std::optional<QStringList> &lines);
    void setDetectedNodeType(ClusterNodeType type);
    void setClusterNodeWarning(const std::optional<ClusterNodeWarning> &warning);
    // Resets the RBN state to "unknown, disabled" and counts a new version.
    void resetPublishedRbnState();

    // ===== Settings and country data (ClusterConnection.cpp).
    AppSettingsStore &settings() const { return *m_settings; }
    const CTYDatabase *currentDatabase() const;
    void subscribeToCountryDatabase();
    void reapplyCountryData();
    void applyStartupFeedSettings();

    // ===== Connecting (ClusterConnection_Connect.cpp).
    void teardownConnection();
    void resetConnectionState();
    void clearRegistrationState();
    void
    resetSessionFlags(); // login, RBN, back-fill, submission, filter flags; node type, warnings
    void handleConnectionState(TcpConnection *connection, TcpConnection::State state,
                               const QString &reason);
    void handleReady(TcpConnection *connection);
    // Detaches every handler of the connection and ends it without a further report.
    void releaseConnection();
    bool isCurrent(const TcpConnection *connection) const
    {
        return connection && connection == m_connection;
    }

    // ===== Sending (ClusterConnection_Send.cpp).
    // Steps started outside the post-login sequence (by the operator, a timer or a late reply);
    // they wait behind the node's outstanding replies like operator lines.
    enum class WaitingStep : quint8 {
        none,
        rbnStatus,
        rbnBeaconKick,
        clearUpstreamFilters,
        clearSSIDFilterOverride,
        sendSSIDFilterOverride,
        recentSpots,
        registrationCheck,
    };
    // Whoever starts a step says whether it may go out now: the post-login sequence at the prompt
    // (or time-out) that ended its previous step, and a waiting step whose turn came, go at once,
    // ahead of lines typed meanwhile; anything else takes its turn behind what the node owes.
    enum class StepStart : quint8 { now, inTurn };
    // An operator line or a step not yet written, in the order asked for.
    struct WaitingRequest {
        QString text;
        bool isSpot = false;
        WaitingStep step = WaitingStep::none;
        // The console line that shows it waiting.
        QUuid waitingMark;
    };
    // What a prompt the node still owes ends: a written operator line, or a step that timed out
    // before the node said anything (a slow node), whose reply is still taken when it comes.
    enum class OwedReply : quint8 {
        operatorLine,
        spot,
        rbnStatus,
        filterList,
        recentSpots,
        otherStep,
        // The prompt a node answers an empty line with, asked before the login completed.
        promptQuestion,
    };
    struct OwedPrompt {
        OwedReply reply;
        std::chrono::steady_clock::time_point sentAt;
        // Where the received stream stood when the command went out: nothing before it answers
        // the command.
        qint64 mark = 0;
    };
    std::chrono::steady_clock::time_point owedPromptDue(const OwedPrompt &owed) const;
    bool sendLine(const QString &text);
    // Operator lines: written at once, or queued while a post-login step waits for its prompt.
    bool echoAndSendLine(const QString &text, bool isSpot = false);
    bool writeOperatorLine(const WaitingRequest &line);
    void sendWaitingRequests();
    void dropWaitingRequests(const QString &reason);
    // For a step asked for in turn: queues it while the node is busy with a step or an operator
    // line; true when queued (or already waiting).
    bool queueUntilItsTurn(WaitingStep step, StepStart start);
    void startWaitingStep(WaitingStep step);
    // Writes bytes to the current connection; false (and a status) when it cannot.
    bool writeToConnection(const QByteArray &bytes);

    // ===== Receiving (ClusterConnection_Receive.cpp; framing in ClusterConnection_Framing.cpp).
    void readAvailable(TcpConnection *connection);
    void handleReadyRead(TcpConnection *connection);
    bool hasUnreadData(TcpConnection *connection) const;
    void handleSocketClosedOrFailed(TcpConnection *connection);
    void receiveChunk(const QByteArray &data);
    void decodeReceivedData(const QByteArray &data);
    void splitReceivedLines(QStringView text);
    // `readStart`: where the read that brought the piece's first character began.
    void handleCompleteLine(QStringView piece, qint64 readStart);
    // The line that partialLine and `piece` make, with no prompt glued to its front.
    void handleLine(QStringView piece, qint64 readStart);
    // A run of prompt copies at the front of a line: how long it is, and where its last copy
    // begins.
    struct PromptRun {
        qsizetype end = 0;
        qsizetype lastCopy = 0;
    };
    // Hands on each node prompt glued to the front of the line that partialLine and `text` make
    // as a line of its own, one after the other: a line of many prompts costs in proportion to
    // its length. `text` and `readStart` are left at the rest (a view into `storage` or into
    // `text`), partialLine empty once a prompt was handed on. `run`, given for the unfinished end
    // of a read: set when the line is a run of copies nothing waits for, which it leaves whole.
    // False: the connection ended.
    bool handOnGluedPrompts(QStringView &text, qint64 &readStart, QString &storage,
                            bool overlongStops, PromptRun *run = nullptr);
    // How long the copy of the learned or the standard prompt at the start of `text` is.
    qsizetype promptCopyLength(QStringView text) const;
    // Where the copies that follow one another in `line` from `from` on end, none reaching past
    // `limit`; `lastCopy` is set to where the last of them begins, if any.
    qsizetype walkPromptCopies(QStringView line, qsizetype from, qsizetype limit,
                               qsizetype *lastCopy) const;
    // Whether m_partialRun tells of the unfinished line as it is now.
    bool partialRunKnown() const;
    // The unfinished line is a run of copies that nothing waits for, and `text` goes on with it:
    // `run` is set for the line they make, which stays whole.
    bool extendPartialRun(QStringView text, PromptRun *run);
    // Whether `text`, which arrived from `textStart` on, goes on with the run of copies the
    // unfinished line is.
    bool continuesPartialRun(QStringView text, qint64 textStart) const;
    void handleUnfinishedTail(QStringView tail, qint64 readStart);
    // The unfinished line is a copy of the learned prompt whose line break is still to come, as
    // the node has sent its prompts so far: a read may have cut a quoted line there.
    bool awaitsPromptLineEnd() const;
    // The prompt that is the unfinished line ends the step that waits.
    void endStepAtOpenPrompt();
    void handleSettledTail(std::uint64_t receiveSerial);
    void dispatchLine(QStringView line);
    void handleClusterLine(QStringView line);
    void handleParsedLine(QStringView line, DXSpotParser::ParseResult result);
    void insertLiveSpot(DXSpot spot);
    void trimSpotsToLimit();
    void flushPartialLine();
    void loadRecentSpots(StepStart start);
    void finishRecentSpots();
    void handleReceiveEnded(const QString &statusText, LoginState state,
                            const QString &consoleLine);

    // ===== Login and node type (ClusterConnection_Login.cpp).
    enum class PromptMatch { none, loginQuestion, stepPrompt, nodeType, unknownNodePrompt };
    // Prompt work runs line by line while logging in or while a step waits for its prompt.
    bool needsPromptWork() const { return !m_isLoggedIn || anyStepWaiting(); }
    bool anyStepWaiting() const;
    // A step of the program's own (post-login steps, registration check, keepalive ping) waits
    // for the prompt that ends its reply; operator lines wait behind it.
    bool automaticStepWaiting() const;
    // Only the steps of the post-login sequence.
    bool loginStepWaiting() const;
    std::chrono::milliseconds stepReplyTimeout() const;
    void armStepReplyTimeout(std::chrono::milliseconds timeout);
    // runPendingPromptStep for a prompt that was recognised: the node's prompt is known again.
    bool endStepAtRecognisedPrompt();
    // A prompt now would come before the reply of the step that waits, whose reply always has
    // lines: it ends nothing.
    bool promptPrecedesStepReply() const;
    // A recognised prompt that the oldest owed reply takes; true when the prompt line is not to
    // be shown.
    bool endOwedPrompt();
    void finishOwedPrompt(OwedReply reply, bool answered);
    void owePrompt(OwedReply reply, qint64 mark);
    bool owes(OwedReply reply) const;
    bool operatorLineOwed() const;
    void armOwedPromptExpiry();
    void expireOwedPrompts();
    // A step timed out with no word from the node: it stays owed, and the sequence goes on.
    void keepTimedOutStepOwed();
    // The node answered, but with no prompt this program recognises: everything owed is over.
    void endEverythingOwed();
    bool nodeAnsweredSinceCommand() const;
    // How many of the commands the node still owes a prompt went out before the line now handled
    // began: a line that began before a command went out is no part of its answer, neither a line
    // of its reply nor its prompt.
    qsizetype promptsAwaitedHere() const { return promptsAwaitedAt(m_lineStart); }
    qsizetype promptsAwaitedAt(qint64 lineStart) const;
    // While the prompt that ended a step is handed on: it goes where the step's lines went, also
    // when it came before the next step's command.
    struct StepPromptHandedOn {
        explicit StepPromptHandedOn(ClusterConnection &connection)
            : m_connection(connection), m_was(std::exchange(connection.m_handingOnStepPrompt, true))
        {
        }
        ~StepPromptHandedOn() { m_connection.m_handingOnStepPrompt = m_was; }
        Q_DISABLE_COPY_MOVE(StepPromptHandedOn)

    private:
        ClusterConnection &m_connection;
        bool m_was;
    };
    // Whether a spot now read belongs to the back-fill listing.
    bool spotBelongsToBackFill() const;
    // The ping's answer line; true when the line is not to be shown.
    bool takeKeepaliveAnswer(const QString &lower);
    // Before the login: a line that may be the prompt of a node of no known type (the question
    // and its verdict are PromptQuestion's). `readStart`: where the read that brought its first
    // character began; `open`: the line has no line break yet. True when the line is the node's
    // answer, not to be shown again.
    bool considerPromptCandidate(const QString &line, qint64 readStart, bool open);
    // Whether empty lines may go to the node now: never while it waits for a password that is
    // not configured.
    bool mayAskNodeForItsPrompt() const;
    void askNodeForItsPrompt();
    void resetPromptQuestion();
    // The node is given longer to go quiet while it may still ask for a configured password.
    void noteWhetherPasswordMayBeAsked();
    // The callsign or password went out; the node's first text after it tells the round trip.
    void noteLoginLineSent();
    void noteLoginReply();
    // A line taken for a possible answer waits until it is known whether it was one, and the
    // lines after it wait behind it: shown in order, an answer never once it proved to be the
    // node's prompt.
    void holdLine(QStringView line, bool possibleAnswer);
    bool holdsLines() const;
    void releaseHeldLines(bool dropPromptCopies = false);
    void armPromptQuestionDeadline();
    void handlePromptQuestionDeadline();
    void followPromptDecision(PromptQuestion::Decision decision);
    // Where the received stream will stand once everything the node has sent so far is read;
    // beyond m_bytesReceived while data the kernel or the socket holds is still to be read.
    qint64 receivedStreamEnd() const;
    // A complete line before the login that is no candidate: greeting text shows the greeting
    // goes on; spots, talk, announcements and blank lines prove nothing.
    void noteLineBeforeLogin(QStringView line);
    // The node type is known: nothing more is asked, and a line held as an answer is shown.
    void endPromptQuestion();
    // How long a prompt at the start of the line is that has the node's next output glued to it
    // (0: none there); `ownRunLeft`, when given, gets what is left behind it of a run of the
    // learned prompt's copies that end replies all together.
    qsizetype gluedPromptLength(QStringView line, qsizetype *ownRunLeft = nullptr) const;
    // The open line in question, followed by a new read: whether that read begins a line of its
    // own (a line in question once more, a spot or chatter) rather than continuing it.
    bool beginsLineOfItsOwn(QStringView text) const;
    void appendToPromptBuffer(QStringView text);
    PromptMatch matchPrompt() const;
    void answerLoginQuestion();
    // Runs the step ended by a prompt, then writes the operator's queued lines when no step
    // waits any more (ClusterConnection_Steps.cpp); true when the prompt line itself is not to be
    // shown.
    bool runPendingPromptStep();
    void handleStepReplyTimeout();
    void detectNodeType();
    bool matchesNodePrompt(const QString &buffer) const;
    // The operator's set/prompt or unset/prompt went out: the node's answer tells its new prompt.
    void notePromptChangeSent(const QString &command);
    // Each line the node sends, looked at while such a change is under way.
    void notePromptChangeLine(QStringView line);
    // How long a node prompt at the start of the line is (0: none there).
    qsizetype leadingNodePromptLength(QStringView line, qsizetype *ownRunLeft = nullptr) const;
    qsizetype leadingLearnedPromptLength(QStringView line, qsizetype *ownRunLeft = nullptr) const;
    // Whether a copy of the learned prompt may end a reply where the line now handled begins: the
    // node owes prompts that come glued together (for empty lines, for steps that timed out), or
    // fewer copies follow in the read than the node owes prompts (one at least).
    bool learnedPromptMayEndReply() const;
    bool owedPromptsComeGlued() const;
    void completeLogin();
    // `prompt`: the line taken for the prompt of a node of no known type, shown to the operator.
    void handleUnsupportedNode(const QString &prompt = {});
    // Tells the operator what the node is; returns what it is and where ("AR-Cluster detected
    // on host:port").
    QString describeUnsupportedNode(const QString &prompt);
    // A line in question proved to be the node's prompt: a DXSpider node's that its user set,
    // or an unknown node's.
    void confirmUnknownNodePrompt();
    void finishSilentRegistrationCheck();

    // ===== Failover and registration re-check (ClusterConnection_Failover.cpp; the primary probe
    // in ClusterConnection_Probe.cpp).
    void connectToPrimary();
    void connectToBackup(bool isRetry);
    void reconnectToRole(ClusterNodeRole role);
    void armConnectionAttemptTimeout(TcpConnection *connection, ClusterNodeRole role);
    void armCallsignWatchdog(TcpConnection *connection)
    {
        armCallsignWatchdog(connection, m_timing.callsignSendWatchdog);
    }
    void armCallsignWatchdog(TcpConnection *connection, std::chrono::milliseconds delay);
    void handlePrimaryAttemptFailure();
    void handleBackupAttemptFailure();
    // The backup node is of a kind this program does not support: the attempts end with an alert
    // that says so.
    void refuseBackupNode(const QString &prompt);
    // Routes an attempt that ended before its login completed to the failure policy.
    void handleAttemptEndedBeforeLogin();
    // Counts a login that never completed; true when the automatic reconnect gave up.
    bool giveUpAfterRepeatedFailedLogins();
    void applyConnectionLostPolicy(bool wasLoggedIn);
    void startPrimaryRecovery();
    void probePrimaryNode();
    void returnToPrimary();
    void scheduleRegistrationRecheck();
    void runSilentRegistrationCheck(StepStart start);
    bool isOnDefaultPrimaryNode() const;
    // Registration re-check only: logged in on the default node, which asked for registration.
    bool isOnDefaultNodeForRecheck() const;
    // A return to the primary node that has not logged in yet.
    bool isReturnFromBackupAttempt() const;
    // Clears isConnectionSequenceActive when no reconnect, retry, wake reconnect or alert follows.
    void endSequenceIfNothingScheduled();
    void primaryRecoveryTick();
    void dropPrimaryProbe();
    void handleProbeState(TcpConnection *probe, TcpConnection::State state);
    void handleProbeData(TcpConnection *probe);

    // ===== Keepalive, sleep and wake (ClusterConnection_Keepalive.cpp).
    void scheduleKeepalivePing();
    void armKeepaliveIdleCheck(std::chrono::milliseconds delay);
    void noteKeepaliveActivity();
    void cancelKeepalive();
    void sendKeepalivePing();
    void handleConnectionLost(TcpConnection *connection, const std::optional<QString> &error);
    void handleSystemWillSleep();
    void handleSystemDidWake();

    // ===== RBN (ClusterConnection_Rbn.cpp).
    void requestRBNStatus(bool loadRecentSpotsAfter, StepStart start);
    void parseRBNStatusLine(const QString &line);
    // A line while the status is awaited: taken and parsed when it is part of the reply (false:
    // it is not, and is shown as with no step waiting).
    bool takeRBNStatusLine(QStringView line);
    // At the prompt that ends a status reply: the beacon kick, or the status published.
    void startRBNBootstrap();
    // Whether the status just read calls for the one-time beacon kick.
    bool wantsRBNBeaconKick(bool partOfLogin) const;
    void startRBNBeaconKick(bool loadRecentSpotsAfter, StepStart start);
    // Publishes the status read from a "stat/us" reply (and saves it for the primary node).
    void publishRBNStatusReply();
    // Goes on with the login sequence once the RBN status was read (or timed out).
    void continueLoginAfterRBNStatus(bool load);
    void continueRBNBootstrap();
    bool mirrorPrimaryRBNToBackup(bool loadRecentSpotsAfter);
    void savePrimaryRBNStatus(bool enabled, const RBNModeSet &modes);
    std::optional<PrimaryRBNStatus> loadPrimaryRBNStatus() const;

    // ===== Upstream filter check (ClusterConnection_Filters.cpp).
    void startUpstreamFilterCheck();
    // `late`: the reply came after the step's time-out, when the back-fill had already run.
    void finishUpstreamFilterCheck(bool late = false);
    void sendSSIDFilterOverride(StepStart start);
    void clearSSIDFilterOverride(StepStart start);
    void clearUpstreamFilters(StepStart start);
    bool loginCallsignHasNumericSSID() const;

    // ===== Published properties.
    QList<DXSpot> m_spots;
    QList<ClusterLine> m_lines;
    QString m_statusText = QStringLiteral("Disconnected");
    bool m_isConnected = false;
    bool m_isLoggedIn = false;
    LoginState m_loginState = LoginState::disconnected;
    QString m_activeHost;
    std::optional<quint16> m_activePort;
    QString m_activeCallsign;
    bool m_registrationRequired = false;
    bool m_isConnectionSequenceActive = false;
    bool m_rbnStatusKnown = false;
    bool m_rbnStatusLoading = false;
    bool m_rbnEnabled = false;
    RBNModeSet m_rbnModes;
    qint64 m_rbnStateVersion = 0;
    std::optional<QString> m_spotSubmissionAlertMessage;
    std::optional<QStringList> m_upstreamFilterWarningLines;
    ClusterNodeType m_detectedNodeType = ClusterNodeType::unknown;
    std::optional<ClusterNodeWarning> m_clusterNodeWarning;

    // ===== Collaborators and environment.
    CTYFileManager *m_ctyFileManager;
    AppSettingsStore *m_settings;
    const Clock *m_clock;
    PowerEvents *m_powerEvents;
    ClusterTiming m_timing;
    QString m_defaultPrimaryHost;
    std::unique_ptr<AutoReconnectController> m_autoReconnectController;
    ClusterFilterChecker m_clusterFilterChecker;

    // ===== The node connection.
    // The current connection; every callback first checks that its connection is still this one.
    QPointer<TcpConnection> m_connection;
    // Counts connection changes, so work started for one connection stops when it is replaced.
    std::uint64_t m_connectionGeneration = 0;
    bool m_connectionIncidentHandled = false;
    bool m_userRequestedRemoteLogout = false;
    ClusterTask m_connectionAttemptTimeoutTask;
    ClusterTask m_callsignSendWatchdogTask;
    ClusterTask m_backupRetryTask;
    ClusterTask m_registrationRecheckTask;
    bool m_awaitingSilentRegistrationCheck = false;
    bool m_silentRegistrationMarkerSeen = false;
    ClusterTask m_keepaliveIdleTask;
    std::chrono::steady_clock::time_point m_lastReceiveTime;
    ClusterTask m_keepaliveResponseTimeoutTask;
    bool m_automaticPingOutstanding = false;
    bool m_isPreparingForSystemSleep = false;
    bool m_reconnectAfterSystemWake = false;
    ClusterTask m_systemWakeReconnectTask;
    std::optional<ClusterNodeRole> m_nodeRoleBeforeSystemSleep;
    bool m_isPrimaryReconnectAttempt = false;
    bool m_loadRecentSpotsAfterLogin = true;
    int m_consecutivePrimaryReconnectFailures = 0;
    bool m_isBackupConnectionAttempt = false;
    int m_consecutiveBackupConnectionFailures = 0;
    ClusterNodeRole m_activeNodeRole = ClusterNodeRole::primary;
    ConnectionOrigin m_connectionOrigin = ConnectionOrigin::manual;
    // Primary probe while on the backup node (filled in with the failover code).
    ClusterTask m_primaryRecoveryTask;
    QPointer<TcpConnection> m_primaryProbeConnection;
    ClusterTask m_primaryProbeTimeoutTask;
    QString m_primaryProbeBuffer;

    // ===== Re-serving.
    LocalSpotServer *m_localSpotServer = nullptr;
    UDPSpotFeedSender *m_udpFeedSender = nullptr;
    QString m_udpFeedMode = QStringLiteral("everything");

    // ===== Receive and login state of the current connection.
    QString m_partialLine;
    // The last chunk ended in CR: an LF opening the next chunk completes that CR LF.
    bool m_lastChunkEndedInCR = false;
    QString m_promptBuffer;
    // Before the login: the question whether a line ending in ">" is the node's prompt, and the
    // timer of its deadline.
    PromptQuestion m_promptQuestion;
    ClusterTask m_promptQuestionTask;
    // Lines held while a possible answer is told from traffic (a fraction of a second).
    static constexpr qsizetype maximumHeldLines = 64;
    // Where a line glued to a prompt may begin, before the login: behind one of these first ">".
    static constexpr int maximumPromptBracketsTried = 4;
    struct HeldLine {
        QString text;
        bool possibleAnswer = false;
    };
    QList<HeldLine> m_heldLines;
    // When the callsign or password went out, and where the received stream stood then; cleared
    // at the node's first text after it.
    std::optional<std::chrono::steady_clock::time_point> m_loginLineSentAt;
    qint64 m_loginLineMark = 0;
    // The greeting said the node runs DXSpider.
    bool m_greetingAnnouncedDXSpider = false;
    // The prompt a DXSpider user set for themselves, found before the login or when the operator
    // sets another.
    LearnedPrompt m_learnedPrompt;
    // The operator changes the prompt: the line went out, or the node said "Prompt is changed"
    // and its next line is the new prompt.
    enum class PromptChange : quint8 { none, sent, confirmed };
    PromptChange m_promptChange = PromptChange::none;
    QString m_loginCallsign;
    QString m_loginPassword;
    bool m_hasSentCallsign = false;
    bool m_hasSentPassword = false;
    bool m_awaitingRBNStatus = false;
    bool m_loadRecentSpotsAfterRBNStatus = false;
    bool m_sawRBNBeaconStatusField = false;
    // A line of the status reply came since "stat/us" went out.
    bool m_rbnStatusReplyBegun = false;
    RBNBootstrapState m_rbnBootstrapState = RBNBootstrapState::idle;
    bool m_rbnBootstrapAttempted = false;
    bool m_awaitingRecentSpots = false;
    QList<DXSpot> m_pendingRecentSpots;
    ClusterTask m_stepReplyTimeoutTask;
    // A step timed out and no prompt has been recognised since: the next steps wait less long.
    bool m_nodePromptUnconfirmed = false;
    // completeLogin() runs: the first step is about to start.
    bool m_postLoginStepsStarting = false;
    // The keepalive ping got its "pong" or refusal; its prompt may still follow.
    bool m_keepaliveAnswerSeen = false;
    // When the operator last wrote a line; a ping would only collide with its reply.
    std::chrono::steady_clock::time_point m_lastOperatorWrite{};
    QList<WaitingRequest> m_waitingRequests;
    // Prompts the node owes for commands older than the step that waits now, oldest first.
    QList<OwedPrompt> m_owedPrompts;
    ClusterTask m_owedPromptExpiryTask;
    // The reply of a filter list that timed out, collected as it comes late.
    QStringList m_lateFilterReply;
    // The node said something (not a spot, not talk) since the last command or prompt.
    bool m_nodeSpokeSinceCommand = false;
    // A step of this connection timed out before the node said anything.
    bool m_nodeAnswersLate = false;
    // Receive path: bytes of a character cut by the end of a read, a line break to skip after a
    // line handed on early, the rest of a spot line handled before its end arrived, the rest of
    // an overlong line whose first piece was handed on, the tail's settle timer and the
    // continuation of a read that used up its share of the event loop.
    QByteArray m_utf8Carry;
    // Where in the received stream the read now handled began (its carried bytes included), how
    // far the stream has been read, and where the read that began the unfinished line began.
    qint64 m_readStart = 0;
    qint64 m_bytesReceived = 0;
    // Where in the received stream the line now handled begins, where the unfinished line began,
    // and where the stream stood when the last command went out (the step that waits now, if
    // any): whatever the node sent in answer to a command comes behind that mark.
    qint64 m_lineStart = 0;
    qint64 m_partialLineStart = 0;
    qint64 m_lastCommandMark = 0;
    // The unfinished line, as the read `serial` left it `size` long, begins with a run of prompt
    // copies `end` long (the last of them from `lastCopy`) that nothing waited for: a read that
    // adds more copies to it goes on from there, whatever the line's length.
    struct PartialRun {
        std::uint64_t serial = 0;
        qsizetype size = 0;
        qsizetype end = 0;
        qsizetype lastCopy = 0;
    };
    PartialRun m_partialRun;
    bool m_handingOnStepPrompt = false;
    // How many copies of the learned prompt in a row ended a reply with their line break, as
    // DXSpider sends them (up to the count that proves the habit): nothing is glued to a copy
    // then. None when one stayed without it.
    static constexpr int promptLineEndsProvingHabit = 3;
    int m_learnedPromptLineEnds = 0;
    bool m_handlingLineWithBreak = false;
    qint64 m_partialLineReadStart = 0;
    bool m_skipLeadingLineBreak = false;
    bool m_dropSpotRemainder = false;
    bool m_continuingOverlongLine = false;
    std::uint64_t m_receiveSerial = 0;
    ClusterTask m_tailSettleTask;
    ClusterTask m_readContinuationTask;
    // Gathering of reads while spots pour in: when the last read was handled, the pending
    // handling of what has come since, and those reads, each as it came.
    QElapsedTimer m_lastReadHandled;
    ClusterTask m_readGatherTask;
    QList<QByteArray> m_gatheredReads;
    qint64 m_gatheredReadBytes = 0;
    // Recent country lookups of the spot road.
    CTYLookupCache m_lookupCache;
    bool m_receiveEndPending = false;
    int m_consecutiveFailedLogins = 0;
    bool m_awaitingSpotSubmission = false;
    bool m_awaitingUpstreamFilterClear = false;
    bool m_awaitingSSIDFilterOverride = false;
    bool m_awaitingSSIDFilterOverrideClear = false;
    bool m_warningIncludesSSIDFilterOverride = false;
    std::optional<bool> m_pendingRBNEnabled;
    RBNModeSet m_pendingRBNModes;
    bool m_awaitingBackupRBNMirrorPrompt = false;
    bool m_loadRecentSpotsAfterBackupRBNMirror = false;
};

} // namespace varnello
