#include "SpotTableDelegate.h"

#include "SpotTableModel.h"

#include <QPainter>
#include <algorithm>

namespace varnello {

namespace {

// Several screens of cells; cleared whole when full.
constexpr qsizetype maximumCachedTexts = 1024;

} // namespace

void SpotTableDelegate::initStyleOption(QStyleOptionViewItem *option,
                                        const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state & QStyle::State_Selected)
        option->backgroundBrush = Qt::NoBrush;
}

void SpotTableDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    const auto *model = qobject_cast<const SpotTableModel *>(index.model());
    if (!model || !index.isValid() || index.row() >= model->rowCount()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const SpotTableModel::CellLook look = model->cellLook(index.row(), index.column());
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                               : QPalette::Inactive;
    // The view has painted the (alternating) row background already.
    if (selected)
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    else if (look.background)
        painter->fillRect(option.rect, *look.background);
    if (look.text.isEmpty())
        return;

    const QRect area = option.rect.adjusted(textMargin, 0, -textMargin, 0);
    if (area.width() <= 0)
        return;
    const TextKey key{look.text, area.width(), model->fontGeneration(), look.font};
    auto it = m_texts.constFind(key);
    if (it == m_texts.cend()) {
        if (m_texts.size() >= maximumCachedTexts)
            m_texts.clear();
        const QFontMetrics metrics(*look.font);
        // Elided to the cell, so the text needs clipping only for marks above and below it.
        const QString elided = metrics.elidedText(look.text, Qt::ElideRight, area.width());
        QStaticText text(elided);
        text.setTextFormat(Qt::PlainText);
        text.prepare(painter->transform(), *look.font);
        const bool hasMarks =
            std::any_of(elided.cbegin(), elided.cend(), [](QChar c) { return c.isMark(); });
        it = m_texts.insert(key, {text, hasMarks});
    }

    const QColor &pen =
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    if (!m_painterFont || pen != m_painterPen) {
        painter->setPen(pen);
        m_painterPen = pen;
    }
    if (m_painterFont != look.font || m_painterFontGeneration != model->fontGeneration()) {
        painter->setFont(*look.font);
        m_painterFont = look.font;
        m_painterFontGeneration = model->fontGeneration();
    }
    const QSizeF size = it->text.size();
    qreal x = area.left();
    if (look.alignment & Qt::AlignRight)
        x = area.left() + area.width() - size.width();
    else if (look.alignment & Qt::AlignHCenter)
        x = area.left() + (area.width() - size.width()) / 2;
    const qreal y = area.top() + (area.height() - size.height()) / 2;
    if (!it->hasMarks) {
        painter->drawStaticText(QPointF(x, y), it->text);
        return;
    }
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);
    painter->drawStaticText(QPointF(x, y), it->text);
    painter->restore();
}

} // namespace varnello
