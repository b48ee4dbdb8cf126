#include "BlockedWordsSheet.h"

#include "ContentView.h"
#include "ElidedLabel.h"
#include "FilterPanelParts.h"
#include "NetworkText.h"
#include "ScreenFit.h"
#include "SheetFrame.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace varnello {

using namespace filterparts;

namespace {

QWidget *emptyPlaceholder(QWidget *parent)
{
    auto *box = new QWidget(parent);
    auto *layout = new QVBoxLayout(box);
    layout->addStretch();
    auto *symbol = new QLabel(box);
    symbol->setPixmap(
        icon(u"text.badge.xmark", u"edit-clear-list", QStyle::SP_MessageBoxInformation)
            .pixmap(32, 32));
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    auto *title = plainLabel(QStringLiteral("No Filter Entries"), box);
    title->setFont(headlineFont(box->font()));
    layout->addWidget(title, 0, Qt::AlignHCenter);
    auto *text = secondaryLabel(
        QStringLiteral("Words and phrases added on the left will appear here."), box);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignHCenter);
    layout->addWidget(text);
    layout->addStretch();
    return box;
}

} // namespace

BlockedWordsSheet::BlockedWordsSheet(ContentView &view, QWidget *parent)
    : QDialog(parent), m_view(view)
{
    setObjectName(QStringLiteral("blockedWordsSheet"));
    setWindowTitle(QStringLiteral("Custom Info Filter"));
    setWindowModality(Qt::WindowModal);
    auto *content = new QWidget(this);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    layout->addLayout(sheetHeader(this, QStringLiteral("Custom Info Filter"),
                                  QStringLiteral("entryCount"), QStringLiteral("00000 entries"),
                                  &m_count));
    layout->addWidget(divider(Qt::Horizontal, this));

    auto *body = new QHBoxLayout;
    body->setSpacing(0);
    auto *left = new QWidget(this);
    left->setFixedWidth(300);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(20, 20, 20, 20);
    leftLayout->setSpacing(18);
    auto *addTitle = plainLabel(QStringLiteral("Add a word or phrase"), left);
    addTitle->setFont(headlineFont(font()));
    leftLayout->addWidget(addTitle);
    auto *group = new QVBoxLayout;
    group->setSpacing(8);
    auto *entryLabel = plainLabel(QStringLiteral("Info text"), left);
    entryLabel->setFont(subheadlineFont(font(), true));
    m_entry = new QLineEdit(left);
    m_entry->setObjectName(QStringLiteral("entry"));
    m_entry->setPlaceholderText(QStringLiteral("e.g. sausage"));
    // Return in the entry adds the term and is kept from the dialog's default button.
    onReturnKey(m_entry, [this] { m_view.addCustomInfoFilterTerm(); });
    connect(m_entry, &QLineEdit::textEdited, &m_view, &ContentView::setCustomInfoFilterEntry);
    m_add = new QPushButton(QStringLiteral("Add"), left);
    m_add->setObjectName(QStringLiteral("add"));
    m_add->setAutoDefault(false);
    connect(m_add, &QPushButton::clicked, &m_view, &ContentView::addCustomInfoFilterTerm);
    group->addWidget(entryLabel);
    group->addWidget(m_entry);
    group->addWidget(m_add, 0, Qt::AlignLeft);
    leftLayout->addLayout(group);
    auto *hint = secondaryLabel(
        QStringLiteral("Add one word or phrase at a time. Matching will be case-insensitive."),
        left);
    hint->setFont(captionFont(font()));
    hint->setWordWrap(true);
    leftLayout->addWidget(hint);
    leftLayout->addStretch();
    body->addWidget(left);
    body->addWidget(divider(Qt::Vertical, this));

    auto *right = new QWidget(this);
    right->setMinimumWidth(250);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    auto *listTitle = plainLabel(QStringLiteral("Blocked words and phrases"), right);
    listTitle->setFont(headlineFont(font()));
    auto *listTitleRow = new QHBoxLayout;
    listTitleRow->setContentsMargins(20, 20, 20, 10);
    listTitleRow->addWidget(listTitle);
    rightLayout->addLayout(listTitleRow);
    m_listArea = new QStackedWidget(right);
    m_list = new QListWidget(m_listArea);
    m_list->setObjectName(QStringLiteral("terms"));
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    currentRowOnFocus(m_list);
    m_listArea->addWidget(m_list);
    QWidget *placeholder = emptyPlaceholder(m_listArea);
    placeholder->setObjectName(QStringLiteral("noFilterEntries"));
    m_listArea->addWidget(placeholder);
    rightLayout->addWidget(m_listArea, 1);
    body->addWidget(right, 1);
    layout->addLayout(body, 1);

    const SheetButtons buttons = sheetButtons(this);
    m_clearAll = buttons.clearAll;
    m_saveAndEnable = buttons.saveAndEnable;
    connect(buttons.clearAll, &QPushButton::clicked, &m_view,
            &ContentView::clearCustomInfoFilterDraft);
    connect(buttons.cancel, &QPushButton::clicked, this, &BlockedWordsSheet::reject);
    connect(buttons.save, &QPushButton::clicked, &m_view, &ContentView::saveCustomInfoFilter);
    connect(buttons.saveAndEnable, &QPushButton::clicked, &m_view,
            &ContentView::saveAndEnableCustomInfoFilter);
    sheetframe::pinFooter(this, content, sheetFooter(this, buttons.layout));
    screenfit::fitToScreen(this, sheetSize);

    connect(&m_view, &ContentView::filterPanelsChanged, this, [this] {
        if (!m_view.customInfoFilterSession()) {
            if (isVisible())
                done(QDialog::Accepted);
            return;
        }
        refresh();
    });
    refresh();
}

void BlockedWordsSheet::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The desktop shows the sheet again after a minimise: its draft stays.
    if (event->spontaneous())
        return;
    m_view.beginCustomInfoFilterSheet();
    m_entry->setFocus();
}

void BlockedWordsSheet::reject()
{
    m_view.cancelCustomInfoFilter();
    QDialog::reject();
}

void BlockedWordsSheet::refresh()
{
    const QStringList &draft = m_view.customInfoFilterDraft();
    m_count->setText(QString::number(draft.size()) +
                     (draft.size() == 1 ? QStringLiteral(" entry") : QStringLiteral(" entries")));
    if (m_entry->text() != m_view.customInfoFilterEntry())
        m_entry->setText(m_view.customInfoFilterEntry());
    m_add->setEnabled(m_view.canAddCustomInfoFilterTerm());
    m_clearAll->setEnabled(!draft.isEmpty());
    m_saveAndEnable->setEnabled(!draft.isEmpty());
    if (draft != m_shownTerms)
        refreshList();
    // Also for the empty list the sheet opens with, which needs no rebuild.
    m_listArea->setCurrentIndex(draft.isEmpty() ? 1 : 0);
}

void BlockedWordsSheet::refreshList()
{
    m_shownTerms = m_view.customInfoFilterDraft();
    m_list->clear();
    for (qsizetype i = 0; i < m_shownTerms.size(); ++i) {
        const QString &term = m_shownTerms[i];
        auto *row = new QWidget(m_list);
        auto *layout = new QHBoxLayout(row);
        layout->setContentsMargins(8, 2, 8, 2);
        layout->setSpacing(12);
        // A long term is cut with "…" so that its remove button stays in view.
        auto *text = new ElidedLabel(term, row);
        text->setObjectName(QStringLiteral("term_%1").arg(i));
        text->setToolTip(plainToolTip(term));
        auto *remove = new QToolButton(row);
        remove->setObjectName(QStringLiteral("remove_%1").arg(i));
        remove->setAutoRaise(true);
        remove->setIcon(icon(u"trash", u"user-trash", QStyle::SP_TrashIcon));
        remove->setToolTip(plainToolTip(QStringLiteral("Remove ") + term));
        connect(remove, &QToolButton::clicked, &m_view,
                [this, i] { m_view.removeCustomInfoFilterTerm(i); });
        layout->addWidget(text, 1);
        layout->addWidget(remove);
        auto *item = new QListWidgetItem(m_list);
        item->setSizeHint(row->sizeHint());
        m_list->setItemWidget(item, row);
    }
}

} // namespace varnello
