#include "AllowedSpotterEntitiesSheet.h"

#include "ContentView.h"
#include "FilterPanelParts.h"
#include "ScreenFit.h"
#include "SectionedListWidget.h"
#include "SheetFrame.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

namespace varnello {

using namespace filterparts;

namespace {

constexpr int adifRole = Qt::UserRole + 1;
constexpr int selectedRole = Qt::UserRole + 2;

void addSection(QListWidget *list, const QString &title)
{
    auto *item = new QListWidgetItem(title, list);
    item->setFlags(Qt::ItemIsEnabled);
    QFont font = list->font();
    font.setBold(true);
    item->setFont(font);
}

// An entity row: the name, and below it the prefix and ADIF number in the small dimmed caption
// text. Both lines are drawn as plain text: entity names never pass through rich text.
class EntityRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        if (!index.data(adifRole).isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
        // The row Space would toggle, when the list has the keyboard.
        if (opt.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(opt);
            focus.rect = opt.rect.adjusted(1, 1, -1, -1);
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
        }
        const QRect area = opt.rect.adjusted(padding, padding, -padding, -padding);
        const QSize iconSize = opt.decorationSize;
        const QRect iconRect(area.left(), area.top() + (area.height() - iconSize.height()) / 2,
                             iconSize.width(), iconSize.height());
        opt.icon.paint(painter, iconRect);
        const QString text = index.data(Qt::DisplayRole).toString();
        const QRect textArea = area.adjusted(iconSize.width() + spacing, 0, 0, 0);
        const QFont caption = filterparts::captionFont(opt.font);
        const QFontMetrics nameMetrics(opt.font);
        painter->save();
        // Marks stacked on a letter stay inside the row.
        painter->setClipRect(opt.rect, Qt::IntersectClip);
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(QPalette::Text));
        QRect nameRect = textArea;
        nameRect.setHeight(nameMetrics.height());
        painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          nameMetrics.elidedText(text.section(QLatin1Char('\n'), 0, 0),
                                                 Qt::ElideRight, nameRect.width()));
        painter->setFont(caption);
        painter->setPen(opt.palette.color(QPalette::PlaceholderText));
        const QFontMetrics captionMetrics(caption);
        QRect detailRect = textArea;
        detailRect.setTop(nameRect.bottom() + 1 + lineGap);
        detailRect.setHeight(captionMetrics.height());
        painter->drawText(detailRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          captionMetrics.elidedText(text.section(QLatin1Char('\n'), 1),
                                                    Qt::ElideRight, detailRect.width()));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (!index.data(adifRole).isValid())
            return QStyledItemDelegate::sizeHint(option, index);
        const QFontMetrics nameMetrics(option.font);
        const QFontMetrics captionMetrics(filterparts::captionFont(option.font));
        const int height = nameMetrics.height() + lineGap + captionMetrics.height();
        return {nameMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()),
                height + 2 * padding};
    }

private:
    static constexpr int padding = 4;
    static constexpr int spacing = 10;
    static constexpr int lineGap = 2;
};

void addEntity(QListWidget *list, const CTYEntity &entity, bool selected)
{
    auto *item = new QListWidgetItem(list);
    item->setText(entity.name + QLatin1Char('\n') + entity.primaryPrefix +
                  QStringLiteral(" \u00b7 ADIF ") + QString::number(entity.adifNumber));
    item->setIcon(QIcon(checkBoxPixmap(selected, list)));
    item->setData(adifRole, entity.adifNumber);
    item->setData(selectedRole, selected);
    item->setFlags(Qt::ItemIsEnabled);
}

} // namespace

AllowedSpotterEntitiesSheet::AllowedSpotterEntitiesSheet(ContentView &view, QWidget *parent)
    : QDialog(parent), m_view(view)
{
    setObjectName(QStringLiteral("allowedSpotterEntitiesSheet"));
    setWindowTitle(QStringLiteral("Allowed Spotter Entities"));
    setWindowModality(Qt::WindowModal);
    auto *content = new QWidget(this);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    layout->addLayout(sheetHeader(this, QStringLiteral("Allowed Spotter Entities"),
                                  QStringLiteral("selectedCount"), QStringLiteral("00000 selected"),
                                  &m_count));
    layout->addWidget(divider(Qt::Horizontal, this));

    auto *body = new QHBoxLayout;
    body->setSpacing(0);
    body->addWidget(buildLeftColumn());
    body->addWidget(divider(Qt::Vertical, this));
    body->addWidget(buildRightColumn(), 1);
    layout->addLayout(body, 1);

    const SheetButtons buttons = sheetButtons(this);
    m_clearAll = buttons.clearAll;
    connect(buttons.clearAll, &QPushButton::clicked, &m_view,
            &ContentView::clearSpotterEntityDraft);
    connect(buttons.cancel, &QPushButton::clicked, this, &AllowedSpotterEntitiesSheet::reject);
    connect(buttons.save, &QPushButton::clicked, &m_view, &ContentView::saveCustomSpotterEntities);
    connect(buttons.saveAndEnable, &QPushButton::clicked, &m_view,
            &ContentView::saveAndEnableCustomSpotterEntities);
    sheetframe::pinFooter(this, content, sheetFooter(this, buttons.layout));
    screenfit::fitToScreen(this, sheetSize);

    connect(&m_view, &ContentView::filterPanelsChanged, this, [this] {
        if (!m_view.customSpotterEntitySession()) {
            if (isVisible())
                done(QDialog::Accepted);
            return;
        }
        refresh();
    });
    connect(&m_view, &ContentView::alertEntitiesChanged, this,
            &AllowedSpotterEntitiesSheet::refresh);
    refresh();
}

QWidget *AllowedSpotterEntitiesSheet::buildLeftColumn()
{
    auto *column = new QWidget(this);
    column->setFixedWidth(300);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(18);
    auto *title = plainLabel(QStringLiteral("Set automatically"), column);
    title->setFont(headlineFont(font()));
    layout->addWidget(title);

    auto *gridBlock = new QVBoxLayout;
    gridBlock->setSpacing(6);
    auto *gridTitle = plainLabel(QStringLiteral("Home grid square"), column);
    gridTitle->setFont(subheadlineFont(font(), true));
    m_grid = new QLineEdit(column);
    m_grid->setObjectName(QStringLiteral("homeGrid"));
    m_grid->setPlaceholderText(QStringLiteral("e.g. JO01AA"));
    connect(m_grid, &QLineEdit::textEdited, &m_view, &ContentView::setCustomSpotterHomeGrid);
    // Return in the grid or the radius asks for the selection, never for Save and Enable.
    onReturnKey(m_grid, [this] { selectWithinRadius(); });
    auto *gridHint = secondaryLabel(QStringLiteral("Four or six characters"), column);
    gridHint->setFont(captionFont(font()));
    gridBlock->addWidget(gridTitle);
    gridBlock->addWidget(m_grid);
    gridBlock->addWidget(gridHint);
    layout->addLayout(gridBlock);

    auto *radiusBlock = new QVBoxLayout;
    radiusBlock->setSpacing(6);
    auto *radiusTitle = plainLabel(QStringLiteral("Radius"), column);
    radiusTitle->setFont(subheadlineFont(font(), true));
    auto *radiusRow = new QHBoxLayout;
    radiusRow->setSpacing(8);
    m_radius = new QLineEdit(column);
    m_radius->setObjectName(QStringLiteral("radius"));
    m_radius->setPlaceholderText(QStringLiteral("Distance"));
    connect(m_radius, &QLineEdit::textEdited, &m_view, &ContentView::setCustomSpotterRadius);
    onReturnKey(m_radius, [this] { selectWithinRadius(); });
    m_unit = new QComboBox(column);
    m_unit->setObjectName(QStringLiteral("unit"));
    m_unit->setFixedWidth(120);
    m_unit->addItem(QStringLiteral("Miles"), QStringLiteral("miles"));
    m_unit->addItem(QStringLiteral("Kilometres"), QStringLiteral("kilometres"));
    connect(m_unit, &QComboBox::activated, this, [this](int index) {
        m_view.setCustomSpotterDistanceUnit(m_unit->itemData(index).toString());
    });
    radiusRow->addWidget(m_radius, 1);
    radiusRow->addWidget(m_unit);
    radiusBlock->addWidget(radiusTitle);
    radiusBlock->addLayout(radiusRow);
    layout->addLayout(radiusBlock);

    m_select = new QPushButton(QStringLiteral("Select entities within radius"), column);
    m_select->setObjectName(QStringLiteral("selectWithinRadius"));
    m_select->setAutoDefault(false);
    connect(m_select, &QPushButton::clicked, this,
            &AllowedSpotterEntitiesSheet::selectWithinRadius);
    // While a selection runs, the button's label is a spinner and "Selecting…".
    m_selecting = new QWidget(m_select);
    m_selecting->setObjectName(QStringLiteral("selectingIndicator"));
    m_selecting->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *selectingRow = new QHBoxLayout(m_selecting);
    selectingRow->setContentsMargins(10, 0, 10, 0);
    selectingRow->setSpacing(8);
    auto *spinner = new QProgressBar(m_selecting);
    spinner->setObjectName(QStringLiteral("selectingSpinner"));
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(32, 8);
    selectingRow->addWidget(spinner);
    selectingRow->addWidget(plainLabel(QStringLiteral("Selecting\u2026"), m_selecting));
    m_selecting->hide();
    layout->addWidget(m_select, 0, Qt::AlignLeft);
    m_message = secondaryLabel(QString(), column);
    m_message->setObjectName(QStringLiteral("selectionMessage"));
    m_message->setFont(captionFont(font()));
    m_message->setWordWrap(true);
    layout->addWidget(m_message);
    layout->addStretch();
    auto *note = secondaryLabel(
        QStringLiteral("You can select allowed spotter entities manually from the list, or enter "
                       "your grid square and a radius to select them automatically. Automatic "
                       "selection replaces the current list."),
        column);
    note->setWordWrap(true);
    layout->addWidget(note);
    return column;
}

QWidget *AllowedSpotterEntitiesSheet::buildRightColumn()
{
    m_rightArea = new QStackedWidget(this);
    m_rightArea->setMinimumWidth(250);

    auto *listPage = new QWidget(m_rightArea);
    auto *layout = new QVBoxLayout(listPage);
    layout->setContentsMargins(12, 12, 12, 8);
    layout->setSpacing(8);
    auto *searchRow = new QHBoxLayout;
    searchRow->setSpacing(6);
    auto *magnifier = new QLabel(listPage);
    magnifier->setPixmap(
        icon(u"magnifyingglass", u"edit-find", QStyle::SP_FileDialogContentsView).pixmap(14, 14));
    m_search = new QLineEdit(listPage);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(QStringLiteral("Entity, prefix or ADIF number"));
    m_search->setFrame(false);
    connect(m_search, &QLineEdit::textEdited, &m_view, &ContentView::setCustomSpotterEntitySearch);
    // Return only searches: it must not save and close the sheet.
    onReturnKey(m_search, [] {});
    m_clearSearch = new QToolButton(listPage);
    m_clearSearch->setObjectName(QStringLiteral("clearSearch"));
    m_clearSearch->setAutoRaise(true);
    m_clearSearch->setIcon(
        icon(u"xmark.circle.fill", u"edit-clear", QStyle::SP_LineEditClearButton));
    connect(m_clearSearch, &QToolButton::clicked, &m_view,
            [this] { m_view.setCustomSpotterEntitySearch(QString()); });
    searchRow->addWidget(magnifier);
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(m_clearSearch);
    layout->addLayout(searchRow);
    auto *list = new SectionedListWidget(
        [](const QModelIndex &index) { return index.data(adifRole).isValid(); }, listPage);
    // The picks stay listed above whatever the search finds; the keys keep to what it found.
    list->setSearchField(
        m_search, [](const QModelIndex &index) { return !index.data(selectedRole).toBool(); });
    m_list = list;
    m_list->setObjectName(QStringLiteral("entities"));
    m_list->setUniformItemSizes(false);
    m_list->setItemDelegate(new EntityRowDelegate(m_list));
    const auto toggle = [this](const QVariant &adif) {
        // The toggle rebuilds the list: it runs after the click or key has been handled.
        if (adif.isValid())
            QMetaObject::invokeMethod(
                &m_view, [this, number = adif.toInt()] { m_view.toggleSpotterEntity(number); },
                Qt::QueuedConnection);
    };
    connect(m_list, &QListWidget::itemClicked, &m_view,
            [toggle](QListWidgetItem *item) { toggle(item->data(adifRole)); });
    sheetframe::onSpaceKey(m_list,
                           [toggle](const QModelIndex &index) { toggle(index.data(adifRole)); });
    layout->addWidget(m_list, 1);
    m_rightArea->addWidget(listPage);

    auto *unavailable = new QWidget(m_rightArea);
    auto *unavailableLayout = new QVBoxLayout(unavailable);
    unavailableLayout->addStretch();
    auto *symbol = new QLabel(unavailable);
    symbol->setPixmap(
        icon(u"exclamationmark.triangle", u"dialog-warning", QStyle::SP_MessageBoxWarning)
            .pixmap(32, 32));
    unavailableLayout->addWidget(symbol, 0, Qt::AlignHCenter);
    auto *title = plainLabel(QStringLiteral("DXCC Entities Unavailable"), unavailable);
    title->setFont(headlineFont(font()));
    unavailableLayout->addWidget(title, 0, Qt::AlignHCenter);
    m_unavailableText = secondaryLabel(QString(), unavailable);
    m_unavailableText->setWordWrap(true);
    m_unavailableText->setAlignment(Qt::AlignHCenter);
    unavailableLayout->addWidget(m_unavailableText);
    unavailableLayout->addStretch();
    m_rightArea->addWidget(unavailable);
    return m_rightArea;
}

void AllowedSpotterEntitiesSheet::selectWithinRadius()
{
    // One selection at a time; an unusable grid or radius answers with its message line.
    if (!m_view.isSelectingCustomSpotterEntitiesAutomatically())
        m_view.selectSpotterEntitiesWithinRadius();
}

void AllowedSpotterEntitiesSheet::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The desktop hides and shows the sheet around a minimise: its draft and tables stay.
    if (!event->spontaneous())
        m_view.beginCustomSpotterEntitySheet();
}

void AllowedSpotterEntitiesSheet::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        m_view.endCustomSpotterEntitySheet();
}

void AllowedSpotterEntitiesSheet::reject()
{
    m_view.cancelCustomSpotterEntities();
    QDialog::reject();
}

void AllowedSpotterEntitiesSheet::refresh()
{
    m_count->setText(QString::number(m_view.customSpotterEntityDraft().size()) +
                     QStringLiteral(" selected"));
    const auto sync = [](QLineEdit *field, const QString &text) {
        if (field->text() != text)
            field->setText(text);
    };
    sync(m_grid, m_view.customSpotterHomeGrid());
    sync(m_radius, m_view.customSpotterRadius());
    m_unit->setCurrentIndex(m_view.customSpotterDistanceUnit() == QLatin1String("kilometres") ? 1
                                                                                              : 0);
    const bool selecting = m_view.isSelectingCustomSpotterEntitiesAutomatically();
    if (selecting == m_selecting->isHidden()) {
        m_select->setText(selecting ? QString() : QStringLiteral("Select entities within radius"));
        m_select->setMinimumSize(selecting ? m_selecting->sizeHint() : QSize(0, 0));
        m_selecting->setVisible(selecting);
        m_selecting->resize(m_select->size().expandedTo(m_selecting->sizeHint()));
    }
    m_select->setEnabled(!selecting && m_view.canSelectSpotterEntitiesAutomatically());
    const auto &message = m_view.customSpotterAutomaticSelectionMessage();
    m_message->setVisible(message.has_value());
    m_message->setText(message.value_or(QString()));
    sync(m_search, m_view.customSpotterEntitySearch());
    m_clearSearch->setVisible(!m_view.customSpotterEntitySearch().isEmpty());
    m_clearAll->setEnabled(!m_view.customSpotterEntityDraft().isEmpty());

    if (const auto &error = m_view.alertEntityLoadError()) {
        m_unavailableText->setText(*error);
        m_rightArea->setCurrentIndex(1);
        return;
    }
    m_rightArea->setCurrentIndex(0);
    if (m_view.customSpotterEntityDraft() != m_shownDraft ||
        m_view.customSpotterEntitySearch() != m_shownSearch ||
        m_view.alertEntities().size() != m_shownEntityCount)
        refreshList();
}

void AllowedSpotterEntitiesSheet::refreshList()
{
    m_shownDraft = m_view.customSpotterEntityDraft();
    m_shownSearch = m_view.customSpotterEntitySearch();
    m_shownEntityCount = m_view.alertEntities().size();
    // The keyboard stays on the entity it toggled, in whichever section that entity now is.
    const QListWidgetItem *current = m_list->currentItem();
    const QVariant currentAdif = current ? current->data(adifRole) : QVariant();
    m_list->clear();
    const QList<CTYEntity> selected = m_view.selectedSpotterEntities();
    if (!selected.isEmpty()) {
        addSection(m_list, QStringLiteral("Selected DXCC Entities"));
        for (const CTYEntity &entity : selected)
            addEntity(m_list, entity, true);
    }
    addSection(m_list, QStringLiteral("All DXCC Entities"));
    for (const CTYEntity &entity : m_view.filterEntityList())
        addEntity(m_list, entity, false);
    if (currentAdif.isValid() && m_list->window()->focusWidget() == m_list) {
        for (int row = 0; row < m_list->count(); ++row) {
            if (m_list->item(row)->data(adifRole) == currentAdif) {
                m_list->setCurrentRow(row);
                break;
            }
        }
    }
}

} // namespace varnello
