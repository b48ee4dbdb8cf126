#include "UpstreamFilterWarningView.h"

#include "NetworkText.h"
#include "WarningSheetLayout.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTextBoundaryFinder>
#include <QVBoxLayout>

namespace varnello {

namespace {

constexpr int narrowWidth = 520;
constexpr int wideWidth = 760;
constexpr qsizetype maximumNarrowLines = 3;
constexpr qsizetype maximumNarrowLineLength = 47;

qsizetype graphemeCount(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

} // namespace

int UpstreamFilterWarningView::sheetWidth(const QStringList &filters)
{
    if (filters.size() > maximumNarrowLines)
        return wideWidth;
    for (const QString &line : filters) {
        if (graphemeCount(line) > maximumNarrowLineLength)
            return wideWidth;
    }
    return narrowWidth;
}

UpstreamFilterWarningView::UpstreamFilterWarningView(const QStringList &filters, Actions actions,
                                                     QWidget *parent)
    : QDialog(parent), m_actions(std::move(actions))
{
    using namespace warningsheet;
    setObjectName(QStringLiteral("upstreamFilterWarning"));

    // However many lines the node reports, they scroll inside the sheet: the question and its
    // buttons stay in view.
    const Parts parts = makeParts(this, 28);
    parts.textLayout->addWidget(
        paragraph(QStringLiteral("DX cluster filters detected"), this, true));
    parts.textLayout->addWidget(
        paragraph(QStringLiteral("Varnello works best with an unfiltered feed from the DX cluster. "
                                 "You have the following filters configured:"),
                  this));
    QLabel *lines = paragraph(networkDisplayLines(filters), this);
    lines->setObjectName(QStringLiteral("filterLines"));
    lines->setTextInteractionFlags(Qt::TextSelectableByMouse);
    parts.textLayout->addWidget(lines);
    parts.textLayout->addStretch(1);
    parts.footerLayout->addWidget(paragraph(QStringLiteral("Do you want to clear them?"), this));

    QPushButton *yes = button(QStringLiteral("Yes"), QStringLiteral("yesButton"), this);
    QPushButton *never = button(QStringLiteral("No and don't ask again"),
                                QStringLiteral("noAndDontAskAgainButton"), this);
    QPushButton *no = button(QStringLiteral("No"), QStringLiteral("noButton"), this);
    yes->setDefault(true);
    connect(yes, &QPushButton::clicked, this, [this] {
        if (m_actions.onYes)
            m_actions.onYes();
    });
    connect(never, &QPushButton::clicked, this, [this] {
        if (m_actions.onNoAndDontAskAgain)
            m_actions.onNoAndDontAskAgain();
    });
    connect(no, &QPushButton::clicked, this, &UpstreamFilterWarningView::reject);
    parts.footerLayout->addLayout(buttonRow({yes, never, no}));
    finish(this, parts, sheetWidth(filters));
}

void UpstreamFilterWarningView::reject()
{
    if (m_actions.onNo)
        m_actions.onNo();
}

void UpstreamFilterWarningView::closeEvent(QCloseEvent *event)
{
    // The window manager's close (its close button, Alt+F4) answers as Escape does; the owner
    // closes the sheet once the answer is done.
    event->ignore();
    reject();
}

} // namespace varnello
