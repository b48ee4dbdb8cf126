#pragma once

#include <QStringList>
#include <QStringView>
#include <bitset>
#include <string>
#include <vector>

namespace varnello {

// The blocked words and phrases, folded once (letter case and diacritics dropped, trimmed) and
// searched for in a spot's text as plain substrings. Immutable after construction; the text is
// folded character by character as it is scanned, so a spot costs one pass per field.
class BlockedTermMatcher {
public:
    BlockedTermMatcher() = default;
    explicit BlockedTermMatcher(const QStringList &terms);

    // False for every text when no term survives trimming.
    bool isEmpty() const { return m_terms.empty(); }
    bool matches(QStringView text) const;

    // The folded form the search compares: canonical decomposition without non-spacing marks,
    // case-folded, as UTF-8.
    static std::string fold(QStringView text);

private:
    std::vector<std::string> m_terms;
    // Terms by their first byte; the bitmaps say at which byte (pair) a term may start, so most
    // positions of a text are passed over with one look-up.
    std::vector<std::vector<int>> m_termsByFirstByte = std::vector<std::vector<int>>(256);
    std::bitset<256> m_singleByteTerms;
    std::bitset<65536> m_startPairs;
};

} // namespace varnello
