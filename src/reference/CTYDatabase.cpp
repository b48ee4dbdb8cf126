#include "CTYDatabase.h"
#include "CTYDatabaseData.h"

#include <QSet>
#include <QVarLengthArray>
#include <algorithm>

namespace varnello {

namespace {

// Portable suffixes that say nothing about the entity.
bool isModifier(QStringView part)
{
    static constexpr std::u16string_view modifiers[] = {u"P", u"M",   u"MM",   u"AM",
                                                        u"A", u"QRP", u"QRPP", u"LH"};
    for (auto m : modifiers) {
        if (part == QStringView(m.data(), qsizetype(m.size())))
            return true;
    }
    return false;
}

bool containsDigit(QStringView s)
{
    return std::any_of(s.begin(), s.end(), [](QChar c) { return c.isDigit(); });
}

// The normalised callsign lives in a small buffer on the stack: the lookup runs twice for every
// spot, and nearly every callsign fits.
using CallBuffer = QVarLengthArray<char16_t, 48>;

void removeAll(CallBuffer &buf, std::u16string_view what)
{
    qsizetype out = 0;
    qsizetype i = 0;
    const qsizetype n = buf.size();
    const qsizetype w = qsizetype(what.size());
    while (i < n) {
        if (i + w <= n && std::equal(what.begin(), what.end(), buf.data() + i)) {
            i += w;
            continue;
        }
        buf[out++] = buf[i++];
    }
    buf.resize(out);
}

// Upper case, trimmed, skimmer marks ("/-#", then "-#") removed.
QStringView normalisedCallsign(QStringView callsign, CallBuffer &buf)
{
    const bool ascii =
        std::all_of(callsign.begin(), callsign.end(), [](QChar c) { return c.unicode() < 0x80; });
    QStringView trimmed;
    if (ascii) {
        trimmed = callsign.trimmed();
        buf.resize(trimmed.size());
        char16_t *out = buf.data();
        for (QChar c : trimmed) {
            const char16_t u = c.unicode();
            *out++ = (u >= 'a' && u <= 'z') ? char16_t(u - 32) : u;
        }
    } else {
        const QString upper = callsign.toString().toUpper().trimmed();
        buf.resize(upper.size());
        std::copy(upper.utf16(), upper.utf16() + upper.size(), buf.data());
    }
    if (std::find(buf.begin(), buf.end(), u'#') != buf.end()) {
        removeAll(buf, u"/-#");
        removeAll(buf, u"-#");
    }
    return QStringView(buf.data(), buf.size());
}

using Parts = QVarLengthArray<QStringView, 8>;

Parts splitAtSlash(QStringView n)
{
    Parts parts;
    for (QStringView part : n.tokenize(u'/', Qt::SkipEmptyParts))
        parts.append(part);
    return parts;
}

// Candidates in lookup order, duplicates included: trying a candidate twice cannot change the
// answer, so only the listing functions below remove them.
Parts exactCandidates(QStringView n, const Parts &parts)
{
    Parts c;
    c.append(n);
    // A call without "/" is its own only part; probing it twice cannot change the answer.
    if (parts.size() != 1 || parts.front().size() != n.size())
        c.append(parts.constBegin(), parts.size());
    return c;
}

Parts prefixCandidates(QStringView n, const Parts &parts)
{
    Parts c;
    if (parts.size() < 2) {
        c.append(n);
        return c;
    }
    const QStringView first = parts.front();
    const QStringView last = parts.back();
    if (!isModifier(first) && first.size() <= 4)
        c.append(first);
    if (!isModifier(last) && last.size() <= 4 && containsDigit(last))
        c.append(last);
    c.append(n);
    Parts rest;
    for (QStringView p : parts) {
        if (!isModifier(p))
            rest.append(p);
    }
    std::stable_sort(rest.begin(), rest.end(),
                     [](QStringView a, QStringView b) { return a.size() > b.size(); });
    c.append(rest.constBegin(), rest.size());
    return c;
}

QStringList withoutDuplicates(const Parts &candidates)
{
    QStringList out;
    QSet<QStringView> seen;
    for (QStringView c : candidates) {
        if (!seen.contains(c)) {
            seen.insert(c);
            out.append(c.toString());
        }
    }
    return out;
}

} // namespace

int CTYPackedKey::packLeading(QStringView text, CTYPackedKey *key)
{
    *key = {};
    const int n = int(std::min<qsizetype>(text.size(), maxLength));
    for (int i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == 0 || c >= 0x80)
            return i;
        if (i < 8)
            key->lo |= uint64_t(c) << (8 * i);
        else
            key->hi |= uint64_t(c) << (8 * (i - 8));
    }
    return n;
}

CTYPackedKey CTYPackedKey::leading(int length) const
{
    if (length >= 16)
        return *this;
    if (length >= 8)
        return {lo, length == 8 ? 0 : hi & ((uint64_t(1) << (8 * (length - 8))) - 1)};
    return {length == 0 ? 0 : lo & ((uint64_t(1) << (8 * length)) - 1), 0};
}

void CTYPackedKeyTable::reserve(size_t count)
{
    size_t capacity = 16;
    while (capacity < count * 2)
        capacity *= 2;
    m_slots.assign(capacity, Slot{});
    m_mask = capacity - 1;
    m_count = 0;
}

size_t CTYPackedKeyTable::slotOf(const CTYPackedKey &key) const
{
    return size_t(key.hash()) & m_mask;
}

void CTYPackedKeyTable::insertIfAbsent(const CTYPackedKey &key, int value)
{
    if ((m_count + 1) * 2 > m_slots.size()) {
        std::vector<Slot> old = std::move(m_slots);
        reserve(std::max<size_t>(m_count + 1, old.size()));
        for (const Slot &slot : old) {
            if (slot.value >= 0)
                insertIfAbsent(slot.key, slot.value);
        }
    }
    for (size_t i = slotOf(key);; i = (i + 1) & m_mask) {
        Slot &slot = m_slots[i];
        if (slot.value < 0) {
            slot = {key, value};
            ++m_count;
            return;
        }
        if (slot.key == key)
            return;
    }
}

int CTYPackedKeyTable::find(const CTYPackedKey &key) const
{
    if (m_count == 0)
        return -1;
    for (size_t i = slotOf(key);; i = (i + 1) & m_mask) {
        const Slot &slot = m_slots[i];
        if (slot.value < 0)
            return -1;
        if (slot.key == key)
            return slot.value;
    }
}

CTYDatabase::CTYDatabase() : d(std::make_shared<const Data>()) {}

CTYDatabase::CTYDatabase(std::shared_ptr<const Data> data) : d(std::move(data)) {}

void CTYDatabase::Data::buildIndex()
{
    exactPacked.reserve(exactRules.size());
    exactOther.clear();
    for (int i = 0; i < int(exactRules.size()); ++i) {
        const QString &key = exactRules[size_t(i)].key;
        CTYPackedKey packed;
        if (key.size() <= CTYPackedKey::maxLength &&
            CTYPackedKey::packLeading(key, &packed) == key.size())
            exactPacked.insertIfAbsent(packed, i);
        else
            exactOther.emplace(key, i);
    }

    prefixLengths.clear();
    prefixLeadingPairs.clear();
    prefixPacked.reserve(prefixRules.size());
    prefixOther.clear();
    for (int i = 0; i < int(prefixRules.size()); ++i) {
        const QString &key = prefixRules[size_t(i)].key;
        const int length = int(key.size());
        if (prefixLengths.empty() || prefixLengths.back() != length) {
            prefixLengths.push_back(length);
            prefixLeadingPairs.emplace_back();
        }
        // Rules are in file order within a length, so the first stored is the earliest.
        CTYPackedKey packed;
        if (length <= CTYPackedKey::maxLength &&
            CTYPackedKey::packLeading(key, &packed) == length) {
            prefixPacked.insertIfAbsent(packed, i);
            if (length >= 2)
                prefixLeadingPairs.back().set(size_t(key[0].unicode()) * 128 + key[1].unicode());
        } else {
            prefixOther.emplace(key, i);
        }
    }
}

std::optional<CTYResult> CTYDatabase::lookup(QStringView callsign) const
{
    if (const CTYResult *r = find(callsign))
        return *r;
    return std::nullopt;
}

const CTYResult *CTYDatabase::find(QStringView callsign) const
{
    CallBuffer buffer;
    const QStringView n = normalisedCallsign(callsign, buffer);
    if (n.isEmpty())
        return nullptr;
    const Parts parts = splitAtSlash(n);

    for (QStringView candidate : exactCandidates(n, parts)) {
        CTYPackedKey packed;
        if (candidate.size() <= CTYPackedKey::maxLength &&
            CTYPackedKey::packLeading(candidate, &packed) == candidate.size()) {
            if (const int i = d->exactPacked.find(packed); i >= 0)
                return &d->exactRules[size_t(i)].result;
        } else if (!d->exactOther.empty()) {
            if (auto it = d->exactOther.find(candidate); it != d->exactOther.end())
                return &d->exactRules[size_t(it->second)].result;
        }
    }
    for (QStringView candidate : prefixCandidates(n, parts)) {
        CTYPackedKey packed;
        const int packable = CTYPackedKey::packLeading(candidate, &packed);
        const size_t leadingPair =
            packable >= 2 ? size_t(candidate[0].unicode()) * 128 + candidate[1].unicode() : 0;
        for (size_t j = 0; j < d->prefixLengths.size(); ++j) {
            const int length = d->prefixLengths[j];
            if (length > candidate.size())
                continue;
            if (length <= packable) {
                if (length >= 2 && !d->prefixLeadingPairs[j].test(leadingPair))
                    continue; // no packed key of this length begins like the candidate
                if (const int i = d->prefixPacked.find(packed.leading(length)); i >= 0)
                    return &d->prefixRules[size_t(i)].result;
            } else if (!d->prefixOther.empty()) {
                auto it = d->prefixOther.find(candidate.first(length));
                if (it != d->prefixOther.end())
                    return &d->prefixRules[size_t(it->second)].result;
            }
        }
    }
    return nullptr;
}

QStringList CTYDatabase::exactLookupCandidates(QStringView callsign)
{
    CallBuffer buffer;
    const QStringView n = normalisedCallsign(callsign, buffer);
    if (n.isEmpty())
        return {};
    return withoutDuplicates(exactCandidates(n, splitAtSlash(n)));
}

QStringList CTYDatabase::prefixLookupCandidates(QStringView callsign)
{
    CallBuffer buffer;
    const QStringView n = normalisedCallsign(callsign, buffer);
    if (n.isEmpty())
        return {};
    return withoutDuplicates(prefixCandidates(n, splitAtSlash(n)));
}

const QList<CTYEntity> &CTYDatabase::entities() const
{
    return d->entities;
}
int CTYDatabase::entityCount() const
{
    return d->entityCount;
}
int CTYDatabase::ruleCount() const
{
    return d->ruleCount;
}
std::optional<QString> CTYDatabase::release() const
{
    return d->release;
}
const std::vector<CTYDatabase::Rule> &CTYDatabase::prefixRules() const
{
    return d->prefixRules;
}
const std::vector<CTYDatabase::Rule> &CTYDatabase::exactRules() const
{
    return d->exactRules;
}

} // namespace varnello
