#pragma once

#include "ClusterConnection.h"
#include "ClusterTypes.h"

#include <QList>
#include <QPlainTextEdit>
#include <QUuid>

namespace varnello {

// The node's output as a read-only, selectable, monospaced transcript. Lines are appended as they
// arrive (never the whole text again); the view keeps at most as many lines as the connection.
class ConsoleView final : public QPlainTextEdit {
    Q_OBJECT

public:
    static constexpr int maximumLines = ClusterConnection::maximumLines;

    explicit ConsoleView(QWidget *parent = nullptr);

    // Brings the text in line with the connection's lines (oldest first): appends what is new
    // since the last call, or starts again when the earlier lines are gone.
    void sync(const QList<ClusterLine> &lines);
    // While following, every new line brings the view to the bottom.
    void setFollowsBottom(bool follow) { m_followsBottom = follow; }
    void scrollToBottom();

private:
    void appendLines(const QList<ClusterLine> &lines, qsizetype from);

    QUuid m_lastLineID;
    bool m_followsBottom = false;
};

} // namespace varnello
