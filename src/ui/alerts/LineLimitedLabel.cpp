#include "LineLimitedLabel.h"

#include "AlertPanelStyle.h"
#include "NetworkText.h"

#include <QEvent>
#include <QTextLayout>

namespace varnello {

namespace {

// The text broken into lines of at most `width` pixels, cut at the tail after `lines` lines.
// Line breaks in the text start new lines and count against the limit.
QString elidedToLines(const QString &message, const QFont &font, int width, int lines)
{
    // No glyph is narrower than a pixel, so more than this can never fit: a long message costs
    // no more than the lines it shows.
    const qsizetype room = qsizetype(qMax(width, 1)) * qMax(lines, 1);
    const bool cut = message.size() > room;
    QString text = message.left(room);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, font);
    // A token wider than the column (a long address, a run of symbols) is broken too.
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList shown;
    while (shown.size() < lines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        const bool more = cut || line.textStart() + line.textLength() < text.size();
        if (shown.size() == lines - 1 && more) {
            QString rest = text.mid(line.textStart()).simplified();
            if (cut)
                rest += QChar(0x2026);
            shown.append(QFontMetrics(font).elidedText(rest, Qt::ElideRight, width));
            break;
        }
        shown.append(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return shown.join(QLatin1Char('\n'));
}

} // namespace

LineLimitedLabel::LineLimitedLabel(int maximumLines, QWidget *parent)
    : QLabel(parent), m_maximumLines(maximumLines)
{
    setTextFormat(Qt::PlainText);
    // The lines are broken here; QLabel's own wrapping would lay out the whole text.
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void LineLimitedLabel::setFullText(const QString &text)
{
    if (text == m_fullText)
        return;
    m_fullText = text;
    setToolTip(plainToolTip(text));
    m_brokenAtWidth = -1;
    breakIntoLines();
}

QSize LineLimitedLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

void LineLimitedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    breakIntoLines();
}

void LineLimitedLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_brokenAtWidth = -1;
        breakIntoLines();
    }
}

void LineLimitedLabel::breakIntoLines()
{
    const int room = contentsRect().width();
    if (room == m_brokenAtWidth)
        return;
    m_brokenAtWidth = room;
    // Before the first layout the width is not known yet: a column's width is a fair guess, and
    // the resize that follows breaks the text again.
    const int lineWidth = room > 40 ? room : 360;
    setText(elidedToLines(m_fullText, font(), lineWidth, m_maximumLines));
}

} // namespace varnello
