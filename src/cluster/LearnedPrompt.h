#pragma once

#include <QList>
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
    // No copy is longer, its time and date grown as they may.
    qsizetype maximumCopyLength() const { return 2 * m_text.size() + 16; }
    // How long the copy at the start of `text` is, with the blanks behind it (0: none there).
    qsizetype leadingCopyLength(QStringView text) const;
    // Where the run of copies that begins `line`, the first of them `first` long, ends, when what
    // follows it may come behind a prompt: nothing, the node's own traffic or its standard prompt,
    // or, on a line still open, the start of another copy (0: it may not).
    qsizetype runEnd(QStringView line, qsizetype first) const;
    // Whether the line now handled is the read's unfinished end.
    void setLineOpen(bool open) { m_lineOpen = open; }

    // What the read now framed holds behind the line now handled: set for each line of the read.
    void setReadAhead(QStringView rest) { m_readAhead = rest; }
    // The read is handled: what was learned of it is let go.
    void endRead();
    // How many lines further on in the read could be the prompt: lines that begin with a copy
    // followed by nothing, the node's own traffic or its standard prompt (the read's unfinished
    // end too). The node writes a quoted line of a message in the same write as the prompt that
    // ends the message, so a copy with another behind it in the read may be a quoted line; the
    // last is the prompt. Each line of the read is looked at once, however many lines ask.
    qsizetype copiesFollowing() const;

private:
    QString m_text;
    // What stays the same from one copy to the next (prompts::promptKey).
    QString m_key;
    QString m_callsign;
    QStringView m_readAhead;
    bool m_lineOpen = false;
    // Where each line that could be the prompt begins, counted back from the read's end, in the
    // order they come; made at the first question of a read.
    mutable bool m_scanned = false;
    mutable QList<qsizetype> m_copyLines;
};

} // namespace varnello
