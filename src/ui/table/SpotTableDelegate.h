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

    mutable QHash<TextKey, QStaticText> m_texts;
};

} // namespace varnello
