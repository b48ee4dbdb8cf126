#include "ClubLogExplanationSheet.h"

#include "AlertPanelStyle.h"
#include "ContentView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace varnello {

using namespace alertstyle;

ClubLogExplanationSheet::ClubLogExplanationSheet(ContentView &view, QWidget *parent)
    : QDialog(parent), m_view(view),
      m_dontShowAgain(new QCheckBox(QStringLiteral("Don\u2019t show again"), this))
{
    setObjectName(QStringLiteral("clubLogExplanationSheet"));
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Populate from Club Log"));
    setFixedSize(560, 390);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(18);
    auto *title = plainLabel(QStringLiteral("Populate from Club Log"), this);
    setTextStyle(title, TextStyle::title2);
    layout->addWidget(title);
    const QString paragraphs[] = {
        QStringLiteral("If you do not select a DXCC entity, Club Log will be searched for all "
                       "entities you have not worked or confirmed, depending on your \u2018Needed "
                       "for\u2019 selection."),
        QStringLiteral("The resulting alert will apply to the Modes and Bands you select."),
        QStringLiteral("If you select a DXCC entity, Varnello will create an alert only for that "
                       "specific entity, using the Modes and Bands you select."),
        QStringLiteral("The first option is a catch-all alert for all unworked or unconfirmed DXCC "
                       "entities. The second creates a specific alert for the band and mode slots "
                       "still needed for the entity you choose."),
    };
    for (const QString &text : paragraphs) {
        auto *label = plainLabel(text, this);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    layout->addStretch(1);
    layout->addWidget(divider(this));
    auto *row = new QHBoxLayout;
    m_dontShowAgain->setObjectName(QStringLiteral("dontShowAgain"));
    m_dontShowAgain->setChecked(m_view.clubLogExplanationDontShowAgain());
    connect(m_dontShowAgain, &QCheckBox::toggled, &m_view,
            &ContentView::setClubLogExplanationDontShowAgain);
    row->addWidget(m_dontShowAgain);
    row->addStretch(1);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, &m_view, &ContentView::dismissClubLogExplanation);
    row->addWidget(ok);
    layout->addLayout(row);
}

void ClubLogExplanationSheet::reject()
{
    // Only "OK" closes the explanation.
}

} // namespace varnello
