#include "UnsupportedClusterWarningView.h"

#include "Typography.h"
#include "WarningSheetLayout.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnello {

UnsupportedClusterWarningView::UnsupportedClusterWarningView(const ClusterNodeWarning &warning,
                                                             Actions actions, QWidget *parent)
    : QDialog(parent), m_warning(warning), m_actions(std::move(actions))
{
    using namespace warningsheet;
    setObjectName(QStringLiteral("unsupportedClusterWarning"));
    const bool unsupported = isUnsupported(warning.nodeType);

    const Parts parts = makeParts(this, 24);
    QVBoxLayout *layout = parts.textLayout;
    layout->addWidget(paragraph(QStringLiteral("DX Cluster node has been changed"), this, true));

    auto *text = new QVBoxLayout;
    if (unsupported) {
        text->addWidget(paragraph(
            QStringLiteral("Varnello has detected an unsupported DX Cluster node."), this));
        text->addWidget(paragraph(
            QStringLiteral("The configured cluster will now be restored to the default DXSpider "
                           "node."),
            this));
    } else {
        text->addWidget(paragraph(QStringLiteral("Varnello has connected to a CC Cluster (CCC) "
                                                 "node rather than a DXSpider node."),
                                  this));
        text->addWidget(paragraph(
            QStringLiteral("You can continue using this node, but some Varnello features will not "
                           "work. RBN controls, DXSpider filter checking and DXSpider-specific "
                           "registration handling will be disabled for this connection."),
            this));
    }
    layout->addLayout(text);

    const QString address = warning.host + u':' + QString::number(warning.port);
    auto *where = new QLabel(
        (unsupported ? QStringLiteral("Detected at ") : QStringLiteral("Connected to ")) + address,
        this);
    where->setObjectName(QStringLiteral("nodeAddress"));
    where->setTextFormat(Qt::PlainText);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    where->setFont(styledFont(TextStyle::callout));
    makeSecondary(where);
    layout->addWidget(where);

    if (unsupported) {
        QPushButton *proceed =
            button(QStringLiteral("Continue"), QStringLiteral("fixButton"), this);
        proceed->setDefault(true);
        connect(proceed, &QPushButton::clicked, this, [this] {
            if (m_actions.onFix)
                m_actions.onFix();
        });
        parts.footerLayout->addLayout(buttonRow({proceed}));
    } else {
        QPushButton *fix = button(QStringLiteral("Fix"), QStringLiteral("fixButton"), this);
        QPushButton *proceed =
            button(QStringLiteral("Continue"), QStringLiteral("continueButton"), this);
        QPushButton *always = button(QStringLiteral("Continue and don't ask again"),
                                     QStringLiteral("continueAndDontAskAgainButton"), this);
        fix->setDefault(true);
        connect(fix, &QPushButton::clicked, this, [this] {
            if (m_actions.onFix)
                m_actions.onFix();
        });
        connect(proceed, &QPushButton::clicked, this, [this] {
            if (m_actions.onContinue)
                m_actions.onContinue();
        });
        connect(always, &QPushButton::clicked, this, [this] {
            if (m_actions.onContinueAndDontAskAgain)
                m_actions.onContinueAndDontAskAgain();
        });
        parts.footerLayout->addLayout(buttonRow({fix, proceed, always}));
    }
    finish(this, parts, sheetWidth);
}

void UnsupportedClusterWarningView::reject()
{
    // Escape is the Continue button of the CC Cluster form; the unsupported form has no cancel.
    if (!isUnsupported(m_warning.nodeType) && m_actions.onContinue)
        m_actions.onContinue();
}

void UnsupportedClusterWarningView::closeEvent(QCloseEvent *event)
{
    warningsheet::refuseClose(this, event);
}

} // namespace varnello
