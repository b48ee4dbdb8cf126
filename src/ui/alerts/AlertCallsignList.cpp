#include "AlertCallsignList.h"

#include "AlertEmptyState.h"
#include "AlertPanelStyle.h"
#include "ContentView.h"
#include "ElidedLabel.h"
#include "NetworkText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>

namespace varnello {

using namespace alertstyle;

AlertCallsignList::AlertCallsignList(ContentView &view, QWidget *parent)
    : QWidget(parent), m_view(view), m_entry(new QLineEdit(this)),
      m_add(new QPushButton(QStringLiteral("Add"), this)), m_pages(new QStackedWidget(this)),
      m_empty(new AlertEmptyState(QStringLiteral("person.crop.circle.badge.plus"),
                                  QStringLiteral("No Callsigns"), m_pages)),
      m_rows(new QWidget), m_rowLayout(new QVBoxLayout(m_rows))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *entryRow = new QHBoxLayout;
    entryRow->setContentsMargins(16, 16, 16, 16);
    entryRow->setSpacing(8);
    m_entry->setObjectName(QStringLiteral("callsignEntry"));
    m_entry->setPlaceholderText(QStringLiteral("Callsign"));
    // Return adds the entry; it must not also reach the sheet's default button.
    onReturnKey(m_entry, [this] { m_view.addAlertCallsignEntry(); });
    entryRow->addWidget(m_entry, 1);
    m_add->setObjectName(QStringLiteral("callsignAdd"));
    m_add->setAutoDefault(false);
    entryRow->addWidget(m_add);
    layout->addLayout(entryRow);
    layout->addWidget(divider(this));

    m_empty->setObjectName(QStringLiteral("noCallsigns"));
    m_empty->setDescription(QStringLiteral(
        "Enter a callsign above. A base callsign also matches portable suffixes. End an entry "
        "with * to match the prefix before the first slash."));
    m_pages->addWidget(m_empty);

    auto *scroll = new QScrollArea(m_pages);
    scroll->setObjectName(QStringLiteral("callsignList"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_rowLayout->setContentsMargins(16, 12, 16, 12);
    m_rowLayout->setSpacing(6);
    scroll->setWidget(m_rows);
    m_pages->addWidget(scroll);
    layout->addWidget(m_pages, 1);

    connect(m_entry, &QLineEdit::textEdited, &m_view, &ContentView::setAlertCallsignEntry);
    connect(m_add, &QPushButton::clicked, &m_view, &ContentView::addAlertCallsignEntry);
}

void AlertCallsignList::refresh()
{
    if (m_entry->text() != m_view.alertCallsignEntry())
        m_entry->setText(m_view.alertCallsignEntry());
    m_add->setEnabled(m_view.sanitizeAlertCallsignEntry().has_value());

    const QStringList patterns = m_view.sortedAlertCallsigns();
    m_pages->setCurrentIndex(patterns.isEmpty() ? 0 : 1);
    if (patterns == m_shown)
        return;
    m_shown = patterns;
    // A row's own remove button may be the sender that led here: delete rows later.
    while (QLayoutItem *item = m_rowLayout->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    auto *header = plainLabel(QStringLiteral("Alert Callsigns"), m_rows);
    setTextStyle(header, TextStyle::subheadlineSemibold);
    setSecondary(header);
    m_rowLayout->addWidget(header);
    for (const QString &pattern : patterns) {
        auto *row = new QWidget(m_rows);
        auto *rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 2, 0, 2);
        // A long pattern is cut so that its remove button stays in view.
        auto *label = new ElidedLabel(pattern, row);
        QFont medium = label->font();
        medium.setWeight(QFont::Medium);
        label->setFont(medium);
        label->setToolTip(plainToolTip(pattern));
        rowLayout->addWidget(label, 1);
        auto *remove = new QToolButton(row);
        remove->setObjectName(QStringLiteral("remove:") + pattern);
        remove->setAutoRaise(true);
        remove->setIcon(alertstyle::symbol(u"trash"));
        remove->setToolTip(plainToolTip(QStringLiteral("Remove ") + pattern));
        connect(remove, &QToolButton::clicked, &m_view,
                [this, pattern] { m_view.removeAlertCallsign(pattern); });
        rowLayout->addWidget(remove);
        m_rowLayout->addWidget(row);
    }
    m_rowLayout->addStretch(1);
}

} // namespace varnello
