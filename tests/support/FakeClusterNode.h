#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

namespace varnello::test {

// A scriptable DX cluster node on 127.0.0.1 for end-to-end tests of the cluster connection.
//
// Usage:
//   FakeClusterNode node;                       // listens on 127.0.0.1, port 0 (see port())
//   node.setKind(FakeClusterNode::Kind::DXSpider);
//   node.setReply("stat/us", {"Want RBN Spots : No"});   // optional canned replies
//   conn.connect("127.0.0.1", node.port(), "N0CALL", ...);
//   QTRY_VERIFY(node.waitForLine("N0CALL"));    // or QTRY_VERIFY(node.hasReceived("stat/us"))
//
// Every connection the node accepts gets a number (0, 1, 2, ... in order; connectionCount()).
// The node logs every line it receives (CR/LF stripped) with the connection number and the
// milliseconds since the node was made (received()). Operations that send act on the most recent
// connection unless they take a connection number.
//
// Login play (automatic, per connection, unless the behaviour says otherwise):
//   on accept:       banner() line, then the callsign question "login: " (no line break)
//   first line:      taken as the callsign; when a password is set the node asks "password: "
//                    and the next line is the password (recorded in loginPassword())
//   then:            the node prompt of kind() for that callsign (promptFor())
//   afterwards:      each received line gets its canned reply lines (setReply, matched
//                    case-insensitively on the whole trimmed line) followed by the prompt;
//                    with setPromptAfterCommands(false) nothing is answered automatically.
//
// Prompts of the kinds (CALL is the login callsign as sent, NODE is nodeName()):
//   DXSpider:  "CALL de NODE  7-Dec-2026 1200Z dxspider >"
//   CCCluster: "CALL de NODE  7-Dec-2026 1200Z ccc >"
//   ARCluster: "CALL de NODE  7-Dec-2026 1200Z arc6>"
//   Other:     "NODE>"
//   EmailQuestion: "Email address: "
// setCustomPrompt() replaces the prompt text (use "%1" for the callsign, "%2" for a time that moves
// on: one more for each prompt sent apart from the one before, the same for prompts sent
// together; "%3" for a day of the month moving on with it, in two columns, from the 8th).
//
// Line-break style: lines and prompts are written with CR LF after the text (LineBreak::After,
// the default; prompts then carry no line break at all) or before it (LineBreak::Before: every
// line and prompt is preceded by CR LF). setSplitWrites(true) cuts every later write into pieces
// of 1 to 3 bytes, sent a couple of milliseconds apart; sendBurst() always writes in one piece.
class FakeClusterNode final : public QObject {
    Q_OBJECT
public:
    enum class Kind { DXSpider, CCCluster, ARCluster, Other, EmailQuestion };
    enum class Behaviour {
        Normal,             // full login play
        Refuse,             // not listening: connections are refused (port stays reserved)
        CloseBeforePrompt,  // accept, then close at once without a word
        StallAfterCallsign, // ask the callsign, then never answer again
        CloseAfterLogin,    // close right after sending the node prompt
        Silent,             // accept and never send anything
        CloseAfterCallsign, // ask the callsign, then close as soon as it arrives
    };
    enum class LineBreak { After, Before };

    struct Received {
        qint64 msecs = 0;
        int connection = -1;
        QString line;
    };

    explicit FakeClusterNode(QObject *parent = nullptr);
    ~FakeClusterNode() override;

    quint16 port() const { return m_port; }

    // Script of the login play (applies to connections accepted later).
    void setKind(Kind kind) { m_kind = kind; }
    void setNodeName(const QString &name) { m_nodeName = name; }
    QString nodeName() const { return m_nodeName; }
    void setPassword(const QString &password) { m_password = password; } // empty: no question
    void setBanner(const QString &banner) { m_banner = banner; }
    QString banner() const { return m_banner; }
    void setCallsignQuestion(const QString &question) { m_callsignQuestion = question; }
    void setCustomPrompt(const QString &promptTemplate) { m_customPrompt = promptTemplate; }
    void setBehaviour(Behaviour behaviour);
    void setLineBreak(LineBreak style) { m_lineBreak = style; }
    // pieceBytes > 0: every piece has that size instead of cycling through 1 to 3 bytes.
    void setSplitWrites(bool split, int pieceBytes = 0)
    {
        m_splitWrites = split;
        m_splitPieceBytes = pieceBytes;
    }
    void setPromptAfterCommands(bool on) { m_promptAfterCommands = on; }
    // Whether an empty line gets the prompt, as on a DXSpider node (the default), or nothing.
    void setAnswersEmptyLines(bool on) { m_answersEmptyLines = on; }
    void setReply(const QString &command, const QStringList &lines);
    // Lines that go out right behind the prompt that ends this command's reply, in the same write:
    // a search's result, or what a node says of its own accord just then.
    void setLinesBehindPrompt(const QString &command, const QStringList &lines);
    // Every command's reply and prompt go out this long after the command arrived, in the order
    // the commands came, as over a link with that round trip (0, the default: at once). A reply
    // and its prompt go out in one write, and so do the answers to commands that arrived together.
    void setReplyDelay(int ms) { m_replyDelayMs = ms; }
    // The delay for one command in place of setReplyDelay's; a reply never overtakes an earlier
    // command's.
    void setReplyDelayFor(const QString &command, int ms)
    {
        m_replyDelays.insert(command.trimmed().toLower(), ms);
    }
    // The prompt after each command, in place of the login prompt of kind() ("%1" for the
    // callsign; empty: no prompt at all after commands).
    void setCommandPrompt(const QString &promptTemplate)
    {
        m_commandPrompt = promptTemplate;
        m_hasCommandPrompt = true;
    }
    // The next answer to `command` (its reply, prompt and the lines behind) reaches the client in
    // two reads, cut `at` bytes into it, as a link cuts one write: the rest follows when the next
    // line from the client arrives, or `pauseMs` later at the latest, and before any later answer.
    void setReplyCut(const QString &command, int at, int pauseMs)
    {
        m_cutCommand = command.trimmed().toLower();
        m_cutAt = at;
        m_cutPauseMs = pauseMs;
    }
    // When set, the node closes the connection right after answering this command.
    void setCloseAfterCommand(const QString &command) { m_closeAfterCommand = command; }
    // What the node sends between the callsign (or password) and its first prompt: the writes
    // as given, pauseMs apart, the prompt a pause after the last. A line's break may go out with
    // the next write, so a read can end right after a line's text.
    void setGreeting(const QStringList &writes, int pauseMs)
    {
        m_greeting = writes;
        m_greetingPauseMs = pauseMs;
    }
    // The greeting goes out before the password question instead of after the password.
    void setGreetingBeforePassword(bool on) { m_greetingBeforePassword = on; }
    // Every prompt goes out in one write together with a following "DX de" line, as a busy node
    // sends another user's spot right behind it.
    void setSpotAfterPrompt(bool on) { m_spotAfterPrompt = on; }

    // The prompt of kind() for a callsign.
    QString promptFor(const QString &callsign) const;

    // Sending (to the most recent connection, or to a numbered one).
    void send(const QByteArray &bytes, int connection = -1);
    void sendText(const QString &text, int connection = -1);
    void sendLine(const QString &text, int connection = -1); // with the line-break style
    void sendLines(const QStringList &lines, int connection = -1);
    void sendPrompt(int connection = -1); // the prompt for the login callsign
    void sendBurst(const QByteArray &bytes, int connection = -1); // one write, never split
    // "DX de" lines at a rate until count lines were sent (count < 0: for ever); only to a
    // connection that got past the login.
    void startSpotStream(int linesPerSecond, int count = -1, int connection = -1);
    void stopSpotStream();
    static QString spotLine(int index); // the i-th line of the stream (valid "DX de" line)
    // From now on the node answers nothing on any connection (no login play, prompts, replies
    // or stream) while keeping the connections open; lines are still logged and onLine still
    // runs. goSilent(false) resumes.
    void goSilent(bool silent = true);
    void closeConnection(int connection = -1); // orderly close after the queued data
    void resetConnection(int connection = -1); // abortive close (RST)

    // What happened.
    int connectionCount() const { return m_connectionCount; }
    int openConnectionCount() const;
    QList<Received> received() const { return m_received; }
    QStringList receivedLines(int connection = -1) const; // -1: all connections
    bool hasReceived(const QString &line, int connection = -1) const;
    int countReceived(const QString &line, int connection = -1) const;
    QString loginCallsign(int connection = -1) const;
    QString loginPassword(int connection = -1) const;
    qint64 elapsedMs() const { return m_clock.elapsed(); }

    // Hooks for scripts the play above does not cover; called after the built-in handling.
    std::function<void(int connection)> onConnected;
    std::function<void(int connection, const QString &line)> onLine;

signals:
    void lineReceived(int connection, const QString &line);
    void clientConnected(int connection);

private:
    struct Client {
        QPointer<QTcpSocket> socket;
        QByteArray inBuffer;
        QByteArray splitQueue;
        QTimer *splitTimer = nullptr;
        // Lines that come in while the greeting goes out are answered after it, as a real node
        // reads them only once it is at its prompt.
        enum class Stage {
            Callsign,
            Password,
            Greeting,
            Commands,
            Stalled
        } stage = Stage::Callsign;
        QStringList heldLines;
        int promptTime = 0;
        qint64 lastPromptMs = -1;
        QString callsign;
        QString password;
        // The rest of an answer cut by setReplyCut, still to go out.
        QByteArray cutRest;
    };

    bool listenOn(quint16 port);
    // While refusing, the port stays bound (without listening) so that no other process on the
    // machine can take it over and the connection under test is refused, not answered elsewhere.
    void reservePort();
    void releasePort();
    void accept();
    void readFrom(int index);
    void handleLine(int index, const QString &line);
    void write(int index, const QByteArray &bytes, bool allowSplit = true);
    void pumpSplit(int index);
    int resolve(int connection) const;
    QByteArray lineBytes(const QString &text) const;
    QByteArray promptBytes(int index);
    void finishLogin(int index);
    // Sends the greeting, then runs `next` once it is out (unless the connection is gone).
    void playGreeting(int index, std::function<void()> next);
    QByteArray promptText(int index, const QString &promptTemplate);
    // A command's reply, its prompt and the lines behind it.
    QByteArray answerBytes(int index, const QString &key, const QStringList &reply);
    void answerCommands(int index, const QStringList &keys, const QByteArray &bytes);
    void answerLine(int index, const QString &line);
    void sendCutRest(int index);

    QTcpServer m_server;
    quint16 m_port = 0;
    int m_reservedSocket = -1;
    QElapsedTimer m_clock;
    QList<Client *> m_clients;
    int m_connectionCount = 0;
    QList<Received> m_received;

    Kind m_kind = Kind::DXSpider;
    Behaviour m_behaviour = Behaviour::Normal;
    LineBreak m_lineBreak = LineBreak::After;
    QString m_nodeName = QStringLiteral("NODE");
    QString m_password;
    QString m_banner = QStringLiteral("Welcome to the test node");
    QString m_callsignQuestion = QStringLiteral("login: ");
    QString m_customPrompt;
    bool m_splitWrites = false;
    int m_splitPieceBytes = 0;
    bool m_promptAfterCommands = true;
    bool m_answersEmptyLines = true;
    bool m_silent = false;
    QString m_closeAfterCommand;
    QHash<QString, QStringList> m_replies;
    QHash<QString, QStringList> m_linesBehindPrompt;
    QStringList m_greeting;
    int m_greetingPauseMs = 0;
    bool m_greetingBeforePassword = false;
    bool m_spotAfterPrompt = false;
    int m_replyDelayMs = 0;
    QHash<QString, int> m_replyDelays;
    // Delayed replies in the order their commands came, and when the last one is due.
    struct PendingReply {
        int connection = -1;
        QString key;
        QStringList lines;
        qint64 dueMs = 0;
    };
    QList<PendingReply> m_pendingReplies;
    qint64 m_lastReplyDueMs = 0;
    QString m_commandPrompt;
    bool m_hasCommandPrompt = false;
    QString m_cutCommand;
    int m_cutAt = -1;
    int m_cutPauseMs = 0;

    QTimer m_streamTimer;
    int m_streamRemaining = 0;
    int m_streamIndex = 0;
    int m_streamConnection = -1;
};

} // namespace varnello::test
