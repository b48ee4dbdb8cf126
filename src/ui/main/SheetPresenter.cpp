#include "SheetPresenter.h"

#include "BackgroundSheet.h"
#include "ClusterConnection.h"
#include "ContentView.h"
#include "MainWindowTexts.h"
#include "NetworkText.h"
#include "UnsupportedClusterWarningView.h"
#include "UpstreamFilterWarningView.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace varnello {

namespace {

constexpr auto reconnectButtonProperty = "varnelloReconnectCallsign";

int editorIndex(SheetPresenter::Presentation presentation)
{
    return static_cast<int>(presentation);
}

bool isEditor(SheetPresenter::Presentation presentation)
{
    return editorIndex(presentation) < 3;
}

// Stands in for an editor sheet whose panel is not part of this build.
QDialog *placeholderSheet(const QString &title, QWidget *window)
{
    auto *dialog = new QDialog(window);
    dialog->setObjectName(QStringLiteral("placeholderSheet"));
    auto *layout = new QVBoxLayout(dialog);
    auto *label = new QLabel(title, dialog);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    auto *close = new QPushButton(QStringLiteral("Close"), dialog);
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::reject);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(close);
    layout->addLayout(row);
    dialog->resize(650, 200);
    return dialog;
}

QMessageBox *alertBox(const QString &title, const QString &message, QWidget *window)
{
    auto *box = new QMessageBox(window);
    box->setObjectName(QStringLiteral("alert"));
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QStringLiteral("Varnello"));
    // Messages carry node and network texts: never let Qt read them as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(title);
    box->setInformativeText(message);
    if (auto *titleLabel = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = titleLabel->font();
        font.setBold(true);
        titleLabel->setFont(font);
    }
    if (auto *informative =
            box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"))) {
        informative->setTextFormat(Qt::PlainText);
        informative->setOpenExternalLinks(false);
    }
    return box;
}

} // namespace

SheetPresenter::SheetPresenter(ContentView &view, QWidget *window)
    : QObject(window), m_view(view), m_window(window)
{
    m_editors[editorIndex(Presentation::alertEditor)] = {
        [this] { return m_view.alertEditorSession().has_value(); },
        [](QWidget *parent) { return placeholderSheet(QStringLiteral("Alert editor"), parent); }};
}

SheetPresenter::~SheetPresenter()
{
    if (m_dialog) {
        m_dialog->disconnect(this);
        delete m_dialog;
    }
}

void SheetPresenter::setEditorSheet(Presentation presentation, EditorSheet sheet)
{
    if (isEditor(presentation))
        m_editors[editorIndex(presentation)] = std::move(sheet);
}

std::optional<SheetPresenter::Presentation> SheetPresenter::current() const
{
    return m_current;
}

std::optional<QString> SheetPresenter::wantedIdentity(Presentation presentation) const
{
    ClusterConnection *cluster = m_view.cluster();
    switch (presentation) {
    case Presentation::alertEditor:
        if (m_view.alertEditorSession())
            return m_view.alertEditorSession()->id.toString();
        [[fallthrough]];
    case Presentation::allowedSpotterEntities:
    case Presentation::blockedWords: {
        const EditorSheet &editor = m_editors[editorIndex(presentation)];
        if (editor.isWanted && editor.isWanted())
            return QStringLiteral("editor");
        return std::nullopt;
    }
    case Presentation::unsupportedNode:
        if (cluster && cluster->clusterNodeWarning()) {
            const ClusterNodeWarning &warning = *cluster->clusterNodeWarning();
            return toRaw(warning.nodeType) + u'\n' + warning.host + u'\n' +
                   QString::number(warning.port);
        }
        return std::nullopt;
    case Presentation::upstreamFilters:
        if (cluster && cluster->upstreamFilterWarningLines())
            return cluster->upstreamFilterWarningLines()->join(u'\n');
        return std::nullopt;
    case Presentation::spotSubmission:
        if (cluster && cluster->spotSubmissionAlertMessage())
            return *cluster->spotSubmissionAlertMessage();
        return std::nullopt;
    case Presentation::autoReconnect:
        if (cluster && cluster->autoReconnectController().alert())
            return cluster->autoReconnectController().alert()->id();
        return std::nullopt;
    }
    return std::nullopt;
}

void SheetPresenter::refresh()
{
    if (m_current) {
        const std::optional<QString> identity = wantedIdentity(*m_current);
        if (identity && *identity == m_currentIdentity)
            return;
        dismissCurrent();
    }
    for (int i = 0; i < presentationCount; ++i) {
        const auto presentation = static_cast<Presentation>(i);
        const std::optional<QString> identity = wantedIdentity(presentation);
        if (!identity)
            continue;
        QDialog *dialog = make(presentation);
        if (!dialog)
            continue;
        m_dialog = dialog;
        m_current = presentation;
        m_currentIdentity = *identity;
        dialog->setWindowModality(Qt::WindowModal);
        // The editors come from the operator's click; the rest from the node, unasked.
        if (isEditor(presentation))
            backgroundsheet::leaveKeyboardAlone(dialog);
        else
            backgroundsheet::leaveKeyboardAloneForNode(dialog);
        connect(dialog, &QDialog::finished, this,
                [this, dialog](int result) { handleFinished(dialog, result); });
        dialog->open();
        emit presented(presentation);
        return;
    }
}

void SheetPresenter::dismissCurrent()
{
    m_current.reset();
    m_currentIdentity.clear();
    if (!m_dialog)
        return;
    QDialog *dialog = m_dialog;
    m_dialog = nullptr;
    // Closed because its state went away: its dismissal actions must not run again.
    dialog->disconnect(this);
    dialog->hide();
    dialog->deleteLater();
}

void SheetPresenter::handleFinished(QDialog *dialog, int)
{
    if (dialog != m_dialog)
        return;
    const Presentation presentation = *m_current;
    m_dialog = nullptr;
    m_current.reset();
    m_currentIdentity.clear();
    dialog->disconnect(this);
    dialog->deleteLater();

    switch (presentation) {
    case Presentation::alertEditor:
        m_view.closeAlertEditor();
        break;
    case Presentation::spotSubmission:
        m_view.dismissSpotSubmissionAlert();
        break;
    case Presentation::autoReconnect: {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QAbstractButton *clicked = box ? box->clickedButton() : nullptr;
        const QVariant callsign = clicked ? clicked->property(reconnectButtonProperty) : QVariant();
        if (callsign.isValid())
            m_view.reconnectWithCallsign(callsign.toString());
        else
            m_view.dismissAutoReconnectAlert();
        break;
    }
    case Presentation::allowedSpotterEntities:
    case Presentation::blockedWords:
    case Presentation::unsupportedNode:
    case Presentation::upstreamFilters:
        break;
    }
    // The next presentation still wanted, once this one has gone.
    QTimer::singleShot(0, this, &SheetPresenter::refresh);
}

QDialog *SheetPresenter::make(Presentation presentation)
{
    QWidget *window = m_window;
    ClusterConnection *cluster = m_view.cluster();
    switch (presentation) {
    case Presentation::alertEditor:
    case Presentation::allowedSpotterEntities:
    case Presentation::blockedWords: {
        const EditorSheet &editor = m_editors[editorIndex(presentation)];
        return editor.make ? editor.make(window) : nullptr;
    }
    case Presentation::unsupportedNode: {
        UnsupportedClusterWarningView::Actions actions{
            [this] { m_view.fixUnsupportedNode(); },
            [this] { m_view.continueWithReducedFeatures(); },
            [this] { m_view.continueAndDontAskAgain(); }};
        return new UnsupportedClusterWarningView(*cluster->clusterNodeWarning(), std::move(actions),
                                                 window);
    }
    case Presentation::upstreamFilters: {
        UpstreamFilterWarningView::Actions actions{
            [this] { m_view.clearUpstreamFilters(); },
            [this] { m_view.keepUpstreamFiltersAndDontAskAgain(); },
            [this] { m_view.keepUpstreamFilters(); }};
        return new UpstreamFilterWarningView(*cluster->upstreamFilterWarningLines(),
                                             std::move(actions), window);
    }
    case Presentation::spotSubmission:
    case Presentation::autoReconnect:
        return makeAlert(presentation);
    }
    return nullptr;
}

QDialog *SheetPresenter::makeAlert(Presentation presentation)
{
    ClusterConnection *cluster = m_view.cluster();
    if (presentation == Presentation::spotSubmission) {
        QMessageBox *box = alertBox(QStringLiteral("Unable to send spot"),
                                    networkDisplayText(spotSubmissionAlertMessageText(
                                        cluster->spotSubmissionAlertMessage())),
                                    m_window);
        box->setStandardButtons(QMessageBox::Ok);
        return box;
    }
    const AutoReconnectAlertContent content =
        autoReconnectAlertContent(cluster->autoReconnectController().alert());
    QMessageBox *box = alertBox(content.title, content.message, m_window);
    if (content.suggestedCallsign) {
        QPushButton *reconnect = box->addButton(
            QStringLiteral("Use ") + *content.suggestedCallsign + QStringLiteral(" and Reconnect"),
            QMessageBox::AcceptRole);
        reconnect->setObjectName(QStringLiteral("reconnectButton"));
        reconnect->setProperty(reconnectButtonProperty, *content.suggestedCallsign);
        QPushButton *cancel = box->addButton(QMessageBox::Cancel);
        box->setDefaultButton(reconnect);
        box->setEscapeButton(cancel);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    return box;
}

} // namespace varnello
