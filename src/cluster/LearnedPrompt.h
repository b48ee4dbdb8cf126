#pragma once

#include <QString>
#include <QStringView>

namespace varnello {

// The prompt a DXSpider user set for themselves (set/prompt), found before the login: each copy
// of it ends a reply as the standard prompt does. Its shape is the user's to choose, so a line of
// a reply may look just like it: a message read with "read" quotes its lines with ">" in front,
// and a prompt of ">" alone then reads like a quoted empty line. Where a copy stands in the read
// that brought it tells the two apart; the connection hands each read over as it frames it.
class LearnedPrompt {
public:
    void learn(const QString &prompt, const QString &callsign);
    void forget();
    bool isKnown() const { return !m_text.isEmpty(); }
    const QString &text() const { return m_text; }

    // Whether `line`, trimmed, is a copy (its time and date may have moved on).
    bool isCopy(QStringView line) const;
    // How long the copy at the start of `text` is, with the blanks behind it (0: none there).
    qsizetype leadingCopyLength(QStringView text) const;
    // Where the run of copies that begins `line`, the first of them `first` long, ends, when what
    // follows it may come behind a prompt: nothing, the node's own traffic or its standard prompt
    // (0: it may not).
    qsizetype runEnd(QStringView line, qsizetype first) const;

    // What the read now framed holds behind the line now handled: set for each line of the read.
    void setReadAhead(QStringView rest) { m_readAhead = rest; }
    // The read is handled: what was learned of it is let go.
    void endRead();
    // Whether a line of a reply follows in the read: a copy with one behind it is a quoted line.
    // Each line of the read is looked at once, however many lines ask.
    bool replyLineFollows() const;

private:
    QString m_text;
    QString m_callsign;
    QStringView m_readAhead;
    // How far a look through the read went (counted back from its end), and where it found a line
    // of a reply (-1: none).
    struct Scan {
        qsizetype from = -1;
        qsizetype replyAt = -1;
    };
    mutable Scan m_scan;
};

} // namespace varnello
