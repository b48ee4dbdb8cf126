#include "ConsoleView.h"

#include "NetworkText.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace varnello {

ConsoleView::ConsoleView(QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("console"));
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setMaximumBlockCount(maximumLines);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(QFontInfo(this->font()).pointSizeF() * 12.0 / 13.0);
    font.setStyleStrategy(QFont::PreferNoShaping);
    setFont(font);
    setPlaceholderText(QStringLiteral("No cluster output."));
    document()->setDocumentMargin(8);
}

void ConsoleView::sync(const QList<ClusterLine> &lines)
{
    if (lines.isEmpty()) {
        if (document()->isEmpty())
            return;
        clear();
        m_lastLineID = QUuid();
        if (m_followsBottom)
            scrollToBottom();
        return;
    }
    if (lines.constLast().id == m_lastLineID)
        return;

    // The last line shown is usually near the end: search backwards from there.
    qsizetype from = -1;
    if (!m_lastLineID.isNull()) {
        for (qsizetype i = lines.size() - 1; i >= 0; --i) {
            if (lines.at(i).id == m_lastLineID) {
                from = i + 1;
                break;
            }
        }
    }
    if (from < 0) {
        clear();
        from = std::max<qsizetype>(0, lines.size() - maximumLines);
    }
    appendLines(lines, from);
    m_lastLineID = lines.constLast().id;
    if (m_followsBottom)
        scrollToBottom();
}

void ConsoleView::appendLines(const QList<ClusterLine> &lines, qsizetype from)
{
    // More new lines than fit: only the newest can stay.
    from = std::max(from, lines.size() - maximumLines);
    if (from >= lines.size())
        return;
    // One edit for the whole batch: the document trims its oldest blocks and lays out once.
    const bool hadLines = !document()->isEmpty();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (qsizetype i = from; i < lines.size(); ++i) {
        if (hadLines || i > from)
            cursor.insertBlock();
        // An empty line is a blank row, not an empty document: the placeholder "No cluster
        // output." must only show while there are no lines at all, and sync() tells a view
        // holding lines by its document not being empty.
        // Node text is shown as in the spot table: no control characters, no reordering.
        const QString text = networkDisplayText(lines.at(i).text);
        cursor.insertText(text.isEmpty() ? QStringLiteral(" ") : text);
    }
    cursor.endEditBlock();
}

void ConsoleView::scrollToBottom()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

} // namespace varnello
