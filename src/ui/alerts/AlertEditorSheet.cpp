#include "AlertEditorSheet.h"

#include "AlertCallsignList.h"
#include "AlertEditorRules.h"
#include "AlertEmptyState.h"
#include "AlertPanelStyle.h"
#include "ClubLogPopulateSheet.h"
#include "ContentView.h"
#include "EntityPickerList.h"
#include "ScreenFit.h"
#include "ScrollingSheet.h"
#include "SheetFrame.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>

namespace varnello {

using namespace alertstyle;

AlertEditorSheet::AlertEditorSheet(ContentView &view, QWidget *parent)
    : QDialog(parent), m_view(view)
{
    setObjectName(QStringLiteral("alertEditorSheet"));
    setWindowModality(Qt::WindowModal);
    if (const auto &session = m_view.alertEditorSession()) {
        m_session = session->id;
        m_slot = session->index;
    }
    setWindowTitle(m_view.alertDraft().name);

    // The columns scroll on their own; on a small screen the sheet shrinks, its buttons pinned.
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("alertEditorContent"));
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildHeader(layout);
    layout->addWidget(divider(content));

    m_body = new QStackedWidget(content);
    m_unavailable = new AlertEmptyState(QStringLiteral("exclamationmark.triangle"),
                                        QStringLiteral("DXCC Entities Unavailable"), m_body);
    m_unavailable->setObjectName(QStringLiteral("entitiesUnavailable"));
    m_body->addWidget(m_unavailable);
    m_columns = buildColumns();
    m_body->addWidget(m_columns);
    layout->addWidget(m_body, 1);

    sheetframe::pinFooter(this, content, buildButtons());
    screenfit::fitToScreen(this, QSize(designWidth, designHeight));

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &AlertEditorSheet::refresh);
    for (auto signal : {&ContentView::alertDraftChanged, &ContentView::alertEditorFieldsChanged,
                        &ContentView::alertEntitiesChanged})
        connect(&m_view, signal, this, &AlertEditorSheet::scheduleRefresh);
    connect(&m_view, &ContentView::alertEditorChanged, this, &AlertEditorSheet::followSession);
    connect(&m_view, &ContentView::presentationChanged, this,
            &AlertEditorSheet::followPopulateSheet);
    refresh();
}

AlertEditorSheet::~AlertEditorSheet() = default;

ClubLogPopulateSheet *AlertEditorSheet::populateSheet() const
{
    return m_populate;
}

void AlertEditorSheet::buildHeader(QVBoxLayout *layout)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(20, 7, 20, 7);
    row->setSpacing(12);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("alertName"));
    m_name->setPlaceholderText(QStringLiteral("Alert name"));
    m_name->setAccessibleName(QStringLiteral("Alert name"));
    m_name->setFont(alertstyle::font(TextStyle::title2));
    m_name->setFixedWidth(260);
    m_name->setFocusPolicy(Qt::NoFocus);
    connect(m_name, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_view.setAlertDraftName(text);
        // The cut shows at once, not one turn later.
        if (m_name->text() != m_view.alertDraft().name)
            m_name->setText(m_view.alertDraft().name);
    });
    row->addWidget(m_name);
    row->addStretch(1);
    m_summary = plainLabel(QString(), this);
    m_summary->setObjectName(QStringLiteral("selectionSummary"));
    setSecondary(m_summary);
    row->addWidget(m_summary);
    layout->addLayout(row);
}

QWidget *AlertEditorSheet::buildColumns()
{
    auto *columns = new QWidget(m_body);
    auto *row = new QHBoxLayout(columns);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto *left = new QScrollArea(columns);
    left->setObjectName(QStringLiteral("settingsScroll"));
    left->setFrameShape(QFrame::NoFrame);
    left->setWidgetResizable(true);
    left->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    left->setFixedWidth(430);
    left->setWidget(buildSettingsColumn());
    row->addWidget(left);
    row->addWidget(verticalDivider(columns));

    m_rightColumn = new QStackedWidget(columns);
    m_picker = new EntityPickerList(m_rightColumn);
    m_picker->setObjectName(QStringLiteral("alertEntityPicker"));
    connect(m_picker, &EntityPickerList::searchEdited, &m_view, &ContentView::setAlertEntitySearch);
    connect(m_picker, &EntityPickerList::entityToggled, &m_view, &ContentView::toggleAlertEntity);
    m_rightColumn->addWidget(m_picker);
    m_clubLogEntityView = buildClubLogEntityView();
    m_rightColumn->addWidget(m_clubLogEntityView);
    m_callsigns = new AlertCallsignList(m_view, m_rightColumn);
    m_callsigns->setObjectName(QStringLiteral("alertCallsignList"));
    m_rightColumn->addWidget(m_callsigns);
    row->addWidget(m_rightColumn, 1);
    return columns;
}

QWidget *AlertEditorSheet::buildClubLogEntityView()
{
    auto *view = new QWidget(m_rightColumn);
    view->setObjectName(QStringLiteral("clubLogEntityView"));
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(16);
    auto *headline = plainLabel(QStringLiteral("DXCC Entity"), view);
    setTextStyle(headline, TextStyle::headline);
    layout->addWidget(headline);
    auto *title = new QVBoxLayout;
    title->setSpacing(4);
    m_clubLogEntityName = plainLabel(QString(), view);
    m_clubLogEntityName->setObjectName(QStringLiteral("clubLogEntityName"));
    QFont nameFont = alertstyle::font(TextStyle::title2);
    nameFont.setPointSizeF(nameFont.pointSizeF() - 2);
    m_clubLogEntityName->setFont(nameFont);
    m_clubLogEntityName->setWordWrap(true);
    title->addWidget(m_clubLogEntityName);
    m_clubLogEntityCaption = plainLabel(QString(), view);
    m_clubLogEntityCaption->setObjectName(QStringLiteral("clubLogEntityCaption"));
    setSecondary(m_clubLogEntityCaption);
    title->addWidget(m_clubLogEntityCaption);
    layout->addLayout(title);
    auto *lock = plainLabel(QStringLiteral("This entity was selected by Club Log and can not be "
                                           "edited here. Use Club Log\u2026 to change it, or use "
                                           "Clear All to reset this alert."),
                            view);
    lock->setWordWrap(true);
    setTextStyle(lock, TextStyle::callout);
    setSecondary(lock);
    layout->addWidget(lock);
    layout->addStretch(1);
    return view;
}

QWidget *AlertEditorSheet::buildButtons()
{
    auto *footer = new QWidget(this);
    footer->setObjectName(QStringLiteral("alertEditorButtons"));
    auto *column = new QVBoxLayout(footer);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(divider(footer));
    auto *row = new QHBoxLayout;
    row->setContentsMargins(20, 12, 20, 12);
    row->setSpacing(8);
    const auto button = [this, row](const QString &text, const char *name) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        row->addWidget(b);
        return b;
    };
    m_clearAll = button(QStringLiteral("Clear All"), "clearAll");
    connect(m_clearAll, &QPushButton::clicked, &m_view, &ContentView::clearAlertDraft);
    row->addStretch(1);
    if (m_slot != callsignAlertSlot) {
        m_clubLog = button(QStringLiteral("Club Log\u2026"), "clubLog");
        connect(m_clubLog, &QPushButton::clicked, &m_view, &ContentView::openClubLogAlertSheet);
    }
    QPushButton *cancel = button(QStringLiteral("Cancel"), "cancel");
    connect(cancel, &QPushButton::clicked, &m_view, &ContentView::cancelAlertEditor);
    QPushButton *save = button(QStringLiteral("Save"), "save");
    connect(save, &QPushButton::clicked, this, [this] { m_view.saveAlertDraft(false); });
    QPushButton *saveAndEnable = button(QStringLiteral("Save and Enable"), "saveAndEnable");
    saveAndEnable->setDefault(true);
    connect(saveAndEnable, &QPushButton::clicked, this, [this] { m_view.saveAlertDraft(true); });
    column->addLayout(row);
    return footer;
}

void AlertEditorSheet::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_appeared)
        return;
    m_appeared = true;
    m_view.prepareAlertEditorDraft();
    m_picker->scrollToTop();
}

void AlertEditorSheet::reject()
{
    m_view.cancelAlertEditor();
}

void AlertEditorSheet::followSession()
{
    const auto &session = m_view.alertEditorSession();
    if (!session || session->id != m_session) {
        if (m_populate)
            m_populate->done(QDialog::Rejected);
        done(QDialog::Rejected);
        return;
    }
    scheduleRefresh();
}

void AlertEditorSheet::followPopulateSheet()
{
    if (!m_view.isClubLogAlertSheetPresented() || m_populate || !isVisible())
        return;
    m_populate = new ClubLogPopulateSheet(m_view, this);
    m_populate->setAttribute(Qt::WA_DeleteOnClose);
    m_populate->open();
}

void AlertEditorSheet::scheduleRefresh()
{
    m_refreshTimer.start();
}

void AlertEditorSheet::refresh()
{
    const SpotAlertConfiguration &draft = m_view.alertDraft();
    if (m_name->text() != draft.name)
        m_name->setText(draft.name);
    if (m_view.alertNameAcceptsFocus() && m_name->focusPolicy() == Qt::NoFocus) {
        m_name->setFocusPolicy(Qt::StrongFocus);
        m_name->setFocus();
    }
    m_summary->setText(m_view.alertEditorSelectionSummary());

    const bool unavailable = m_view.alertEntityLoadError() && m_slot != callsignAlertSlot;
    m_body->setCurrentWidget(unavailable ? static_cast<QWidget *>(m_unavailable) : m_columns);
    if (unavailable)
        m_unavailable->setDescription(*m_view.alertEntityLoadError());

    const bool clubLogLocked = carriesClubLogEntityFilter(draft);
    m_plainSections->setVisible(!clubLogLocked);
    m_clubLogSection->setVisible(clubLogLocked);
    for (auto it = m_bandBoxes.cbegin(); it != m_bandBoxes.cend(); ++it) {
        const QSignalBlocker block(it.value());
        it.value()->setChecked(m_view.alertDraftBandIsSelected(it.key()));
    }
    for (auto it = m_modeBoxes.cbegin(); it != m_modeBoxes.cend(); ++it) {
        const QSignalBlocker block(it.value());
        it.value()->setChecked(m_view.alertDraftModeIsSelected(SpotType(it.key())));
    }
    refreshActions();
    refreshClubLogSection();

    if (m_slot == callsignAlertSlot) {
        m_rightColumn->setCurrentWidget(m_callsigns);
        m_callsigns->refresh();
    } else if (clubLogLocked) {
        m_rightColumn->setCurrentWidget(m_clubLogEntityView);
        const std::optional<CTYEntity> entity = m_view.clubLogAlertEntity();
        m_clubLogEntityName->setVisible(entity.has_value());
        m_clubLogEntityCaption->setVisible(entity.has_value());
        if (entity) {
            m_clubLogEntityName->setText(entity->name);
            m_clubLogEntityCaption->setText(entity->primaryPrefix +
                                            QStringLiteral(" \u00b7 ADIF ") +
                                            QString::number(entity->adifNumber));
        }
    } else {
        m_rightColumn->setCurrentWidget(m_picker);
        m_picker->setContent(m_view.alertEntitySearch(), m_view.selectedAlertEntities(),
                             m_view.searchedUnselectedAlertEntities());
    }
    m_clearAll->setEnabled(!m_view.isAlertDraftClear());
}

} // namespace varnello
