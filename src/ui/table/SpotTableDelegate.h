#pragma once

#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace varnello {

// Paints the spot table's cells: the alert fill unless the row is selected, then one line of
// plain text, elided at the end, 4 pixels inside the cell. The laid-out texts are kept, so a
// refresh that only moves rows (the usual case under a stream of spots) lays out no text again.
class SpotTableDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int textMargin = 4;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // A paint event of the view begins: its painter starts with the view's font and pen.
    void beginPaint() { m_painterFont = nullptr; }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    struct TextKey {
        QString text;
        int width;
        quint64 fontGeneration;
        const void *font;
        bool operator==(const TextKey &) const = default;
    };
    friend size_t qHash(const TextKey &key, size_t seed)
    {
        return qHashMulti(seed, key.text, key.width, key.fontGeneration, key.font);
    }

    struct LaidOutText {
        QStaticText text;
        bool hasMarks; // marks on letters may reach past the row: drawn clipped to the cell
    };
    mutable QHash<TextKey, LaidOutText> m_texts;
    // What this paint event's painter was last given, so that cells sharing a font and colour do
    // not set them again (a font set is resolved against the device every time).
    mutable const QFont *m_painterFont = nullptr;
    mutable quint64 m_painterFontGeneration = 0;
    mutable QColor m_painterPen;
};

} // namespace varnello
