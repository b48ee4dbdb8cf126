#include "BlockedTermMatcher.h"

#include <QChar>
#include <QVarLengthArray>
#include <cstring>

namespace varnello {

namespace {

using Buffer = QVarLengthArray<char, 512>;

void appendUtf8(char32_t cp, Buffer &out)
{
    if (cp < 0x80) {
        out.append(char(cp));
    } else if (cp < 0x800) {
        out.append(char(0xC0 | (cp >> 6)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.append(char(0xE0 | (cp >> 12)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else {
        out.append(char(0xF0 | (cp >> 18)));
        out.append(char(0x80 | ((cp >> 12) & 0x3F)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    }
}

void appendFoldedCodePoint(char32_t cp, Buffer &out, int depth = 0)
{
    if (cp < 0x80) {
        out.append(char(cp >= 'A' && cp <= 'Z' ? cp + ('a' - 'A') : cp));
        return;
    }
    if (depth < 4 && QChar::decompositionTag(cp) == QChar::Canonical) {
        const QString parts = QChar::decomposition(cp);
        for (char32_t part : parts.toUcs4())
            appendFoldedCodePoint(part, out, depth + 1);
        return;
    }
    if (QChar::category(cp) == QChar::Mark_NonSpacing)
        return;
    appendUtf8(QChar::toCaseFolded(cp), out);
}

// Folds `text` into `out` (replacing its content).
void foldInto(QStringView text, Buffer &out)
{
    out.clear();
    const qsizetype size = text.size();
    const char16_t *chars = text.utf16();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = chars[i];
        if (c < 0x80) {
            out.append(char(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c));
            continue;
        }
        char32_t cp = c;
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(chars[i + 1])) {
            cp = QChar::surrogateToUcs4(c, chars[i + 1]);
            ++i;
        }
        appendFoldedCodePoint(cp, out);
    }
}

} // namespace

std::string BlockedTermMatcher::fold(QStringView text)
{
    Buffer buffer;
    foldInto(text, buffer);
    return std::string(buffer.constData(), size_t(buffer.size()));
}

BlockedTermMatcher::BlockedTermMatcher(const QStringList &terms)
{
    for (const QString &term : terms) {
        const QString trimmed = term.trimmed();
        if (trimmed.isEmpty())
            continue;
        std::string folded = fold(trimmed);
        // A term of combining marks alone folds to nothing; it must not match every text.
        if (folded.empty())
            continue;
        const auto first = static_cast<unsigned char>(folded[0]);
        if (folded.size() == 1)
            m_singleByteTerms.set(first);
        else
            m_startPairs.set(size_t(first) << 8 | static_cast<unsigned char>(folded[1]));
        m_termsByFirstByte[first].push_back(int(m_terms.size()));
        m_terms.push_back(std::move(folded));
    }
}

bool BlockedTermMatcher::matches(QStringView text) const
{
    if (m_terms.empty() || text.isEmpty())
        return false;
    Buffer folded;
    foldInto(text, folded);
    const auto *bytes = reinterpret_cast<const unsigned char *>(folded.constData());
    const size_t size = size_t(folded.size());
    for (size_t i = 0; i < size; ++i) {
        if (m_singleByteTerms.test(bytes[i]))
            return true;
        if (i + 1 >= size || !m_startPairs.test(size_t(bytes[i]) << 8 | bytes[i + 1]))
            continue;
        for (int index : m_termsByFirstByte[bytes[i]]) {
            const std::string &term = m_terms[size_t(index)];
            if (term.size() <= size - i && std::memcmp(term.data(), bytes + i, term.size()) == 0)
                return true;
        }
    }
    return false;
}

} // namespace varnello
