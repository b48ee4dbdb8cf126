#include "PromptPatterns.h"

#include <QString>

#include <algorithm>
#include <array>
#include <optional>

namespace varnello::prompts {

namespace {

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// What the node name cannot run across.
bool isStop(QChar c)
{
    return c == u'\r' || c == u'\n' || c == u'>';
}

bool isWordBoundary(QStringView text, qsizetype at)
{
    const bool before = at > 0 && isWordCharacter(text[at - 1]);
    const bool after = at < text.size() && isWordCharacter(text[at]);
    return before != after;
}

bool isLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

// The blanks of the line patterns: space, tab, line breaks, vertical tab and form feed.
bool isAsciiBlank(QChar c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

qsizetype skipAsciiBlanks(QStringView text, qsizetype at)
{
    while (at < text.size() && isAsciiBlank(text[at]))
        ++at;
    return at;
}

// A callsign or node name in a talk line: letters, digits, "/", "#" and "-".
qsizetype callEnd(QStringView text, qsizetype at)
{
    const auto isCallCharacter = [](char16_t c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'/' || c == u'#' || c == u'-';
    };
    while (at < text.size() && isCallCharacter(text[at].unicode()))
        ++at;
    return at;
}

// "CALL de CALL" then ":", or a "<...>" and then ":". Each part has one way to match (a
// callsign never holds a blank), so one pass decides.
bool talkAfterToAt(QStringView text, qsizetype at)
{
    const qsizetype from = callEnd(text, at);
    if (from == at)
        return false;
    qsizetype de = skipAsciiBlanks(text, from);
    if (de == from || de + 2 > text.size() ||
        text.sliced(de, 2).compare(QLatin1StringView("de"), Qt::CaseInsensitive) != 0)
        return false;
    const qsizetype node = skipAsciiBlanks(text, de + 2);
    if (node == de + 2)
        return false;
    const qsizetype nodeEnd = callEnd(text, node);
    if (nodeEnd == node)
        return false;
    qsizetype at2 = skipAsciiBlanks(text, nodeEnd);
    if (at2 < text.size() && text[at2] == u'<') {
        qsizetype close = at2 + 1;
        while (close < text.size() && text[close] != u'<' && text[close] != u'>' &&
               !isLineBreak(text[close]))
            ++close;
        if (close == text.size() || text[close] != u'>')
            return false;
        at2 = skipAsciiBlanks(text, close + 1);
    }
    return at2 < text.size() && text[at2] == u':';
}

// The talk line from `at`, with or without "to" in front.
bool talkAt(QStringView text, qsizetype at)
{
    if (talkAfterToAt(text, at))
        return true;
    if (at + 2 >= text.size() ||
        text.sliced(at, 2).compare(QLatin1StringView("to"), Qt::CaseInsensitive) != 0)
        return false;
    const qsizetype call = skipAsciiBlanks(text, at + 2);
    return call > at + 2 && talkAfterToAt(text, call);
}

qsizetype skipSpace(QStringView text, qsizetype at)
{
    while (at < text.size() && text[at].isSpace())
        ++at;
    return at;
}

bool hasWordAt(QStringView text, qsizetype at, QLatin1StringView word)
{
    return at >= 0 && at + word.size() <= text.size() &&
           text.sliced(at, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

// The closing ">" with nothing but white space after it, and where the white space in front of
// it begins (the end of what comes before).
struct PromptEnd {
    qsizetype bracket = 0;
    qsizetype body = 0;
};

std::optional<PromptEnd> promptEnd(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].isSpace())
        --end;
    if (end == 0 || text[end - 1] != u'>')
        return std::nullopt;
    PromptEnd result{end - 1, end - 1};
    while (result.body > 0 && text[result.body - 1].isSpace())
        --result.body;
    return result;
}

qsizetype lastStopBefore(QStringView text, qsizetype at)
{
    for (qsizetype i = at - 1; i >= 0; --i)
        if (isStop(text[i]))
            return i;
    return -1;
}

// How long the last line is up to the closing ">" (-1: the text ends in no such ">"). With
// `bracketEnds`, that line must hold no ">" of its own.
qsizetype lastLineLength(QStringView text, bool bracketEnds)
{
    const std::optional<PromptEnd> end = promptEnd(text);
    if (!end)
        return -1;
    qsizetype start = end->bracket;
    while (start > 0 && !(bracketEnds ? isStop(text[start - 1]) : isLineBreak(text[start - 1])))
        --start;
    if (start > 0 && text[start - 1] == u'>')
        return -1;
    return end->bracket - start;
}

// After "CALL": white space, "de", white space. The node name can begin right after that white
// space (when the first word there has no ":"), or on any blank of it but the first, as the
// patterns backtrack.
struct NameStart {
    qsizetype first = -1; // -1: none
    qsizetype lo = 0;     // blanks from lo to hi (empty when lo > hi)
    qsizetype hi = -1;
};

NameStart nameStartAfterCall(QStringView text, qsizetype callEnd)
{
    const qsizetype de = skipSpace(text, callEnd);
    if (de == callEnd || !hasWordAt(text, de, QLatin1StringView("de")))
        return {};
    const qsizetype blanks = de + 2;
    const qsizetype name = skipSpace(text, blanks);
    if (name == blanks)
        return {};
    NameStart start;
    qsizetype at = name;
    while (at < text.size() && !text[at].isSpace() && text[at] != u'>' && text[at] != u':')
        ++at;
    if (name < text.size() && (at == text.size() || text[at] != u':'))
        start.first = name;
    start.lo = blanks + 1;
    start.hi = name - 1;
    return start;
}

// What the end of the text must be for each kind, worked out once per text.
struct KindEnd {
    bool possible = false;
    // The closing ">".
    qsizetype bracket = 0;
    // any: where the white space before ">" begins; dxSpider: where the word begins; arCluster,
    // ccCluster: where the word begins, and where the blanks in front of it begin.
    qsizetype end = 0;
    qsizetype blanks = 0;
    // The last stop before `end` (any, dxSpider) or before `blanks` (the other two).
    qsizetype lastStop = -1;
};

KindEnd kindEnd(QStringView text, NodeKind kind)
{
    KindEnd result;
    const std::optional<PromptEnd> end = promptEnd(text);
    if (!end)
        return result;
    result.bracket = end->bracket;
    switch (kind) {
    case NodeKind::any:
        result.end = end->body;
        result.lastStop = lastStopBefore(text, end->body);
        result.possible = true;
        return result;
    case NodeKind::dxSpider: {
        const qsizetype word = end->body - 8;
        if (!hasWordAt(text, word, QLatin1StringView("dxspider")) || !isWordBoundary(text, word))
            return result;
        result.end = word;
        result.lastStop = lastStopBefore(text, word);
        result.possible = true;
        return result;
    }
    case NodeKind::arCluster:
    case NodeKind::ccCluster: {
        qsizetype word = end->body;
        if (kind == NodeKind::arCluster) {
            while (word > 0 && text[word - 1].isDigit())
                --word;
        }
        word -= 3;
        if (!hasWordAt(text, word, QLatin1StringView(kind == NodeKind::arCluster ? "arc" : "ccc")))
            return result;
        qsizetype blanks = word;
        while (blanks > 0 && text[blanks - 1].isSpace())
            --blanks;
        if (blanks == word)
            return result;
        result.end = word;
        result.blanks = blanks;
        result.lastStop = lastStopBefore(text, blanks);
        result.possible = true;
        return result;
    }
    }
    return result;
}

// Whether a node name starting at one of the places `name` allows fits the end of the text.
bool nameFits(QStringView text, const KindEnd &end, NodeKind kind, const NameStart &name)
{
    const auto anyIn = [](qsizetype from, qsizetype to) { return from <= to; };
    // Some blank from `from` to `to` that is no line break.
    const auto blankIn = [&](qsizetype from, qsizetype to) {
        for (qsizetype at = from; at <= to; ++at)
            if (!isStop(text[at]))
                return true;
        return false;
    };
    switch (kind) {
    case NodeKind::dxSpider:
        // No stop from the name's start to the word.
        return (name.first >= 0 && end.lastStop < name.first && name.first < end.end) ||
               anyIn(std::max(name.lo, end.lastStop + 1), std::min(name.hi, end.end - 1));
    case NodeKind::any:
        // No stop from the name's start to the white space before ">"; or the name is one of
        // those blanks (never a line break).
        if ((name.first >= 0 && end.lastStop < name.first && name.first < end.end) ||
            anyIn(std::max(name.lo, end.lastStop + 1), std::min(name.hi, end.end - 1)))
            return true;
        return blankIn(std::max(name.lo, end.end), std::min(name.hi, end.bracket - 1));
    case NodeKind::arCluster:
    case NodeKind::ccCluster:
        // The name ends before the blanks in front of the word with no stop on its way, or it
        // is one of those blanks, with one left before the word.
        if ((name.first >= 0 && name.first < end.blanks && end.lastStop < name.first) ||
            anyIn(std::max(name.lo, end.lastStop + 1), std::min(name.hi, end.blanks - 1)))
            return true;
        return blankIn(std::max(name.lo, end.blanks), std::min(name.hi, end.end - 2));
    }
    return false;
}

// Where the callsign, alone or in parentheses, ends when it begins at `at` (-1: it does not).
qsizetype callEndAt(QStringView text, QStringView callsign, qsizetype at, bool parenthesised)
{
    if (parenthesised) {
        if (at >= text.size() || text[at] != u'(')
            return -1;
        const qsizetype close = at + 1 + callsign.size();
        if (close >= text.size() || text[close] != u')' ||
            text.sliced(at + 1, callsign.size()).compare(callsign, Qt::CaseInsensitive) != 0)
            return -1;
        return close + 1;
    }
    const qsizetype end = at + callsign.size();
    if (end > text.size() ||
        text.sliced(at, callsign.size()).compare(callsign, Qt::CaseInsensitive) != 0 ||
        !isWordBoundary(text, at) || !isWordBoundary(text, end))
        return -1;
    return end;
}

} // namespace

bool endsInNodePrompt(QStringView text, QStringView callsign, NodeKind kind)
{
    if (callsign.isEmpty())
        return false;
    const KindEnd end = kindEnd(text, kind);
    if (!end.possible)
        return false;
    // No prompt takes in a ">" before its own: the callsign is looked for behind the last one, so
    // a long run of prompt beginnings is not searched over again at every read.
    const qsizetype from = text.first(end.bracket).lastIndexOf(u'>') + 1;
    for (qsizetype at = text.indexOf(callsign, from, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(callsign, at + 1, Qt::CaseInsensitive)) {
        for (const bool parenthesised : {true, false}) {
            const qsizetype start = parenthesised ? at - 1 : at;
            if (start < from)
                continue;
            const qsizetype callEnd = callEndAt(text, callsign, start, parenthesised);
            if (callEnd < 0)
                continue;
            if (nameFits(text, end, kind, nameStartAfterCall(text, callEnd)))
                return true;
        }
    }
    return false;
}

qsizetype leadingNodePromptLength(QStringView line, QStringView callsign)
{
    if (callsign.isEmpty())
        return 0;
    // From a start, the name runs to the first stop; white space then leads to ">" or not. The
    // starts are tried in the patterns' order, the blanks from the last one back; a blank start
    // reaches either the same stop as the start after the blanks, or a line break among them.
    const auto promptEndFrom = [&](qsizetype stop) -> qsizetype {
        const qsizetype bracket = skipSpace(line, stop);
        return bracket < line.size() && line[bracket] == u'>' ? skipSpace(line, bracket + 1) : 0;
    };
    for (const bool parenthesised : {true, false}) {
        const qsizetype callEnd = callEndAt(line, callsign, 0, parenthesised);
        if (callEnd < 0)
            continue;
        const NameStart name = nameStartAfterCall(line, callEnd);
        if (name.first < 0 && name.lo > name.hi)
            continue;
        qsizetype afterBlanks = name.hi + 1;
        while (afterBlanks < line.size() && !isStop(line[afterBlanks]))
            ++afterBlanks;
        if (name.first >= 0 && !isStop(line[name.first]))
            if (const qsizetype end = promptEndFrom(afterBlanks))
                return end;
        qsizetype nextStop = -1; // the nearest line break at or after the start, among the blanks
        for (qsizetype start = name.hi; start >= name.lo; --start) {
            if (isStop(line[start])) {
                nextStop = start;
                continue;
            }
            if (const qsizetype end = promptEndFrom(nextStop >= 0 ? nextStop : afterBlanks))
                return end;
        }
    }
    return 0;
}

bool endsInGenericPrompt(QStringView text)
{
    const qsizetype length = lastLineLength(text, true);
    return length >= 1 && length <= 250;
}

bool endsInAnyPrompt(QStringView text)
{
    const qsizetype length = lastLineLength(text, false);
    return length >= 0 && length <= 250;
}

bool looksLikePrompt(QStringView line)
{
    return !line.contains(u'<') && endsInGenericPrompt(line);
}

bool beginsSpotLine(QStringView line)
{
    return line.startsWith(QLatin1StringView("DX de"), Qt::CaseInsensitive);
}

bool isNodeTraffic(QStringView line)
{
    return beginsSpotLine(line) || isUnsolicitedLine(line);
}

bool announcesDXSpider(QStringView line)
{
    static constexpr QLatin1StringView name("dxspider");
    for (qsizetype at = line.indexOf(name, 0, Qt::CaseInsensitive); at >= 0;
         at = line.indexOf(name, at + 1, Qt::CaseInsensitive)) {
        if (at > 0 && isWordCharacter(line[at - 1]))
            continue;
        const qsizetype version = skipSpace(line, at + name.size());
        if (version > at + name.size() && version + 1 < line.size() &&
            (line[version] == u'V' || line[version] == u'v') && line[version + 1].isDigit())
            return true;
    }
    return false;
}

QString promptKey(QStringView line)
{
    static constexpr std::array<QLatin1StringView, 12> months{
        QLatin1StringView("jan"), QLatin1StringView("feb"), QLatin1StringView("mar"),
        QLatin1StringView("apr"), QLatin1StringView("may"), QLatin1StringView("jun"),
        QLatin1StringView("jul"), QLatin1StringView("aug"), QLatin1StringView("sep"),
        QLatin1StringView("oct"), QLatin1StringView("nov"), QLatin1StringView("dec")};
    const auto isLetter = [&](qsizetype at) {
        return at >= 0 && at < line.size() && line[at].isLetter();
    };
    QString key;
    key.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c.isDigit()) {
            if (i == 0 || !line[i - 1].isDigit())
                key += u'#';
        } else if (c.isSpace()) {
            // Blanks that pad a number to its width come and go with its width, whatever stands
            // before them (": 9-Dec", ":10-Dec"): none is kept before a digit.
            qsizetype next = i + 1;
            while (next < line.size() && line[next].isSpace())
                ++next;
            if (next == line.size() || !line[next].isDigit())
                key += u' ';
            i = next - 1;
        } else if (c == u'(' || c == u')') {
            continue;
        } else if (!isLetter(i - 1) && isLetter(i + 2) && !isLetter(i + 3) &&
                   std::any_of(months.begin(), months.end(), [&](QLatin1StringView month) {
                       return line.sliced(i, 3).compare(month, Qt::CaseInsensitive) == 0;
                   })) {
            key += u'@';
            i += 2;
        } else {
            key += c.toLower();
        }
    }
    return key;
}

qsizetype leadingCopyLength(QStringView text, QStringView line)
{
    return leadingCopyLength(text, line, promptKey(line.trimmed()));
}

qsizetype leadingCopyLength(QStringView text, QStringView line, QStringView lineKey)
{
    if (line.isEmpty())
        return 0;
    // The text up to as many ">" as the line holds; its time and date may have grown a little.
    const QStringView head = text.first(std::min(text.size(), 2 * line.size() + 16));
    qsizetype end = -1;
    for (qsizetype brackets = line.count(u'>'); brackets > 0; --brackets)
        if ((end = head.indexOf(u'>', end + 1)) < 0)
            return 0;
    const QStringView copy = text.first(end + 1);
    if (copy.contains(u'\n') || copy.contains(u'\r') || promptKey(copy.trimmed()) != lineKey)
        return 0;
    ++end;
    while (end < text.size() && text[end].isSpace() && !isLineBreak(text[end]))
        ++end;
    return end;
}

bool mayBeginCopy(QStringView text, QStringView line)
{
    line = line.trimmed();
    if (text.size() > line.size() + 8 || text.contains(u'\n') || text.contains(u'\r'))
        return false;
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].isSpace())
        --end;
    if (promptKey(line).startsWith(promptKey(text.first(end))))
        return true;
    if (text.size() > line.size())
        return false;
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (text[at].isDigit() ? !line[at].isDigit() : text[at].toLower() != line[at].toLower())
            return false;
    }
    return true;
}

bool isUnsolicitedLine(QStringView line)
{
    const qsizetype size = line.size();
    qsizetype afterBreak = 0; // a glued prompt cannot reach back over a line break
    qsizetype body = 0;
    while (body < size && (isAsciiBlank(line[body]) || line[body] == u'\a')) {
        if (isLineBreak(line[body]))
            afterBreak = body + 1;
        ++body;
    }
    if (talkAt(line, body))
        return true;
    // A prompt in front: it ends at the first ">", holds no "<" or line break and is 1 to 250
    // characters long, any of the blanks before it counting as its own.
    qsizetype bracket = body;
    while (bracket < size && bracket - body <= 250 && line[bracket] != u'>') {
        if (line[bracket] == u'<' || isLineBreak(line[bracket]))
            return false;
        ++bracket;
    }
    if (bracket == size || line[bracket] != u'>' ||
        std::max(afterBreak, bracket - 250) > std::min(body, bracket - 1))
        return false;
    return talkAt(line, skipAsciiBlanks(line, bracket + 1));
}

bool isBlankLine(QStringView line)
{
    for (QChar c : line)
        if (!c.isSpace() && c != u'\a')
            return false;
    return true;
}

} // namespace varnello::prompts
