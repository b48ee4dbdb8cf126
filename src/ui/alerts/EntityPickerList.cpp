#include "EntityPickerList.h"

#include "AlertPanelStyle.h"
#include "NetworkText.h"
#include "SheetFrame.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace varnello {

namespace {

constexpr int headerRole = Qt::UserRole + 4;

// Two text lines beside a check box; painted as plain text, since names come from a data file.
class EntityRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        // Rows take the list's width and elide their texts; asking for more would only bring
        // a horizontal scroll bar once the vertical one takes its room.
        constexpr int narrowestRow = 120;
        const QFontMetrics name(option.font);
        if (index.data(headerRole).toBool())
            return {narrowestRow, name.height() + 14};
        const QFontMetrics caption(alertstyle::font(alertstyle::TextStyle::caption));
        return {narrowestRow, name.height() + caption.height() + 12};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        painter->save();
        // Marks stacked on a letter stay inside the row.
        painter->setClipRect(option.rect, Qt::IntersectClip);
        const QRect r = option.rect.adjusted(8, 0, -8, 0);
        const QPalette &palette = option.palette;
        if (index.data(headerRole).toBool()) {
            QFont f = option.font;
            f.setWeight(QFont::DemiBold);
            painter->setFont(f);
            painter->setPen(palette.color(QPalette::PlaceholderText));
            painter->drawText(r.adjusted(0, 6, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                              index.data(Qt::DisplayRole).toString());
            painter->restore();
            return;
        }
        if (option.state & QStyle::State_MouseOver)
            painter->fillRect(option.rect, palette.color(QPalette::AlternateBase));
        // The row Space would toggle, when the list has the keyboard.
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.rect = option.rect.adjusted(2, 1, -2, -1);
            QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter,
                                                 option.widget);
        }

        QStyleOptionButton box;
        const int side = 16;
        box.rect = QRect(r.left(), r.center().y() - side / 2, side, side);
        box.state = QStyle::State_Enabled |
                    (index.data(EntityPickerList::selectedRole).toBool() ? QStyle::State_On
                                                                         : QStyle::State_Off);
        QApplication::style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter,
                                             option.widget);

        const QRect text = r.adjusted(side + 10, 6, 0, -6);
        const QFont captionFont = alertstyle::font(alertstyle::TextStyle::caption);
        const QFontMetrics nameMetrics(option.font);
        painter->setFont(option.font);
        painter->setPen(palette.color(QPalette::Text));
        painter->drawText(QRect(text.left(), text.top(), text.width(), nameMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          nameMetrics.elidedText(index.data(Qt::DisplayRole).toString(),
                                                 Qt::ElideRight, text.width()));
        painter->setFont(captionFont);
        painter->setPen(palette.color(QPalette::PlaceholderText));
        const QFontMetrics captionMetrics(captionFont);
        painter->drawText(
            QRect(text.left(), text.top() + nameMetrics.height(), text.width(),
                  captionMetrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter,
            captionMetrics.elidedText(index.data(EntityPickerList::captionRole).toString(),
                                      Qt::ElideRight, text.width()));
        painter->restore();
    }
};

QList<int> numbersOf(const QList<CTYEntity> &entities)
{
    QList<int> numbers;
    numbers.reserve(entities.size());
    for (const CTYEntity &entity : entities)
        numbers.append(entity.adifNumber);
    return numbers;
}

} // namespace

EntityPickerList::EntityPickerList(QWidget *parent)
    : QWidget(parent), m_search(new QLineEdit(this)),
      m_list(new SectionedListWidget(
          [](const QModelIndex &index) { return !index.data(headerRole).toBool(); }, this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *bar = new QVBoxLayout;
    bar->setContentsMargins(12, 12, 12, 8);
    m_search->setObjectName(QStringLiteral("entitySearch"));
    m_search->setPlaceholderText(QStringLiteral("Entity, prefix or ADIF number"));
    m_search->addAction(alertstyle::symbol(u"magnifyingglass"), QLineEdit::LeadingPosition);
    m_clear =
        m_search->addAction(alertstyle::symbol(u"xmark.circle.fill"), QLineEdit::TrailingPosition);
    m_clear->setObjectName(QStringLiteral("entitySearchClear"));
    m_clear->setToolTip(QStringLiteral("Clear"));
    m_clear->setVisible(false);
    // Return searches nothing more: it must not reach the sheet's default button either.
    onReturnKey(m_search, [] {});
    bar->addWidget(m_search);
    layout->addLayout(bar);

    m_list->setObjectName(QStringLiteral("entityList"));
    // The picks stay listed above whatever the search finds; the keys keep to what it found.
    m_list->setSearchField(
        m_search, [](const QModelIndex &index) { return !index.data(selectedRole).toBool(); });
    m_list->setItemDelegate(new EntityRowDelegate(m_list));
    m_list->setUniformItemSizes(false);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setMouseTracking(true);
    m_list->setFrameShape(QFrame::NoFrame);
    layout->addWidget(m_list, 1);

    connect(m_search, &QLineEdit::textEdited, this, &EntityPickerList::searchEdited);
    connect(m_clear, &QAction::triggered, this, [this] {
        m_search->clear();
        emit searchEdited(QString());
    });
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        if (!item->data(headerRole).toBool())
            emit entityToggled(item->data(adifRole).toInt());
    });
    sheetframe::onSpaceKey(m_list, [this](const QModelIndex &index) {
        if (!index.data(headerRole).toBool())
            emit entityToggled(index.data(adifRole).toInt());
    });
}

void EntityPickerList::setContent(const QString &search, const QList<CTYEntity> &selected,
                                  const QList<CTYEntity> &others)
{
    if (m_search->text() != search)
        m_search->setText(search);
    m_clear->setVisible(!search.isEmpty());

    QList<int> selectedNumbers = numbersOf(selected);
    QList<int> otherNumbers = numbersOf(others);
    if (m_list->count() > 0 && selectedNumbers == m_shownSelected && otherNumbers == m_shownOthers)
        return;
    m_shownSelected = std::move(selectedNumbers);
    m_shownOthers = std::move(otherNumbers);

    const int scroll = m_list->verticalScrollBar() ? m_list->verticalScrollBar()->value() : 0;
    // The keyboard stays on the entity it toggled, in whichever section that entity now is.
    const QListWidgetItem *current = m_list->currentItem();
    const int currentAdif = current ? current->data(adifRole).toInt() : 0;
    m_list->setUpdatesEnabled(false);
    m_list->clear();
    const auto addHeader = [this](const QString &title) {
        auto *item = new QListWidgetItem(title, m_list);
        item->setData(headerRole, true);
        item->setFlags(Qt::ItemIsEnabled);
    };
    const auto addRows = [this](const QList<CTYEntity> &entities, bool isSelected) {
        for (const CTYEntity &entity : entities) {
            auto *item = new QListWidgetItem(entity.name, m_list);
            item->setData(adifRole, entity.adifNumber);
            item->setData(selectedRole, isSelected);
            item->setData(captionRole, entity.primaryPrefix + QStringLiteral(" \u00b7 ADIF ") +
                                           QString::number(entity.adifNumber));
            item->setToolTip(plainToolTip(entity.name));
        }
    };
    if (!selected.isEmpty()) {
        addHeader(QStringLiteral("Selected DXCC Entities"));
        addRows(selected, true);
    }
    addHeader(QStringLiteral("All DXCC Entities"));
    addRows(others, false);
    m_list->setUpdatesEnabled(true);
    m_list->verticalScrollBar()->setValue(scroll);
    if (currentAdif != 0 && m_list->window()->focusWidget() == m_list) {
        for (int row = 0; row < m_list->count(); ++row) {
            if (m_list->item(row)->data(adifRole).toInt() == currentAdif) {
                m_list->setCurrentRow(row);
                break;
            }
        }
    }
}

void EntityPickerList::scrollToTop()
{
    m_list->scrollToTop();
}

} // namespace varnello
