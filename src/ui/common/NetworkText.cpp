#include "NetworkText.h"

#include <QTextBoundaryFinder>
#include <QTextDocument>

namespace varnello {

namespace {

enum class Treatment { keep, blank, drop };

// Stacked marks draw far above and below their line, over the rows around it; a few are all any
// script puts on one letter.
constexpr int maximumMarksPerBase = 3;

// Longer tooltips are laid out as wrapping paragraphs.
constexpr qsizetype plainToolTipLength = 80;

Treatment treatmentOf(char16_t u)
{
    if (u >= 0x20 && u < 0x7F)
        return Treatment::keep;
    switch (u) {
    case u'\t':
    case u'\n':
    case 0x0B:
    case 0x0C:
    case u'\r':
    case 0x85:
    case 0x2028:
    case 0x2029:
        return Treatment::blank;
    case 0x061C: // Arabic letter mark
    case 0x200E: // left-to-right mark
    case 0x200F: // right-to-left mark
        return Treatment::drop;
    default:
        break;
    }
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
        return Treatment::drop;
    // Embeddings and overrides (U+202A-202E), isolates (U+2066-2069).
    if ((u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
        return Treatment::drop;
    return Treatment::keep;
}

bool isCombiningMark(char32_t codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

// Goes through `text` as it is shown. Without `shown` it stops at the first character that
// would change and only says whether there is one.
bool cleanNetworkText(QStringView text, QString *shown)
{
    bool changed = false;
    int marks = 0; // combining marks kept on the present base character
    for (qsizetype i = 0; i < text.size();) {
        const char16_t u = text[i].unicode();
        qsizetype length = 1;
        Treatment treatment = treatmentOf(u);
        if (u >= 0x20 && u < 0x7F) {
            marks = 0;
        } else if (treatment == Treatment::keep) {
            char32_t codePoint = u;
            if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
                QChar::isLowSurrogate(text[i + 1].unicode())) {
                codePoint = QChar::surrogateToUcs4(u, text[i + 1].unicode());
                length = 2;
            }
            if (!isCombiningMark(codePoint))
                marks = 0;
            else if (++marks > maximumMarksPerBase)
                treatment = Treatment::drop;
        } else if (treatment == Treatment::blank) {
            marks = 0;
        }
        // A dropped control character leaves the marks around it on one base.
        if (treatment != Treatment::keep) {
            changed = true;
            if (!shown)
                return true;
        }
        if (shown) {
            if (treatment == Treatment::keep)
                shown->append(text.mid(i, length));
            else if (treatment == Treatment::blank)
                shown->append(QLatin1Char(' '));
        }
        i += length;
    }
    return changed;
}

// A tooltip wraps only where a line may break: a long run without a blank gets invisible breaks
// (zero-width spaces), never between a letter and its marks.
QString withBreakOpportunities(const QString &text)
{
    constexpr qsizetype longestRun = 40;
    QString result;
    result.reserve(text.size() + text.size() / longestRun);
    qsizetype run = 0;
    for (const QChar c : text) {
        if (c.isSpace())
            run = 0;
        else if (++run > longestRun && !c.isMark() && !c.isLowSurrogate()) {
            result.append(QChar(0x200B));
            run = 1;
        }
        result.append(c);
    }
    return result;
}

} // namespace

bool needsNetworkDisplayCleaning(QStringView text)
{
    return cleanNetworkText(text, nullptr);
}

QString networkDisplayText(const QString &text)
{
    if (!needsNetworkDisplayCleaning(text))
        return text;
    QString result;
    result.reserve(text.size());
    cleanNetworkText(text, &result);
    return result;
}

QString plainToolTip(const QString &text)
{
    QString shown = networkDisplayText(text);
    if (shown.size() > maximumToolTipLength) {
        // Never between a letter and its marks or inside a surrogate pair.
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, shown);
        characters.setPosition(maximumToolTipLength - 1);
        if (!characters.isAtBoundary())
            characters.toPreviousBoundary();
        shown = shown.left(qMax<qsizetype>(characters.position(), 0)) + u'\u2026';
    }
    // Rich text also wraps: a long plain tooltip would be one line across the screen.
    if (shown.size() <= plainToolTipLength && !Qt::mightBeRichText(shown))
        return shown;
    shown = withBreakOpportunities(shown);
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + shown.toHtmlEscaped() +
           QStringLiteral("</p>");
}

QString networkDisplayLines(const QStringList &lines)
{
    QStringList shown;
    shown.reserve(lines.size());
    for (const QString &line : lines)
        shown.append(networkDisplayText(line));
    return shown.join(u'\n');
}

} // namespace varnello
