// The sheet's frame, its summary face and the switching between faces.
#include "NewSlotAlertSheet.h"

#include "AlertPanelStyle.h"
#include "AlertSummaryText.h"
#include "ContentView.h"
#include "ScreenFit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace varnello {

using namespace alertstyle;

namespace {

// A headline over a value text.
QLabel *addBlock(QVBoxLayout *into, const QString &heading, QWidget *parent)
{
    auto *block = new QVBoxLayout;
    block->setSpacing(6);
    QLabel *title = plainLabel(heading, parent);
    setTextStyle(title, TextStyle::headline);
    block->addWidget(title);
    QLabel *value = plainLabel(QString(), parent);
    value->setWordWrap(true);
    block->addWidget(value);
    into->addLayout(block);
    return value;
}

} // namespace

NewSlotAlertSheet::NewSlotAlertSheet(ContentView &view, QWidget *parent)
    : QDialog(parent), m_view(view)
{
    setObjectName(QStringLiteral("newSlotAlertSheet"));
    setWindowTitle(QStringLiteral("New Slot Alert"));
    setWindowModality(Qt::WindowModal);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_faces = new QStackedWidget(this);
    m_faces->addWidget(buildSummaryFace());
    m_faces->addWidget(buildFormFace());
    layout->addWidget(m_faces);

    connect(&m_view, &ContentView::newSlotAlertDraftChanged, this, &NewSlotAlertSheet::render);
    connect(&m_view, &ContentView::clubLogLookupStateChanged, this, &NewSlotAlertSheet::render);
    connect(&m_view, &ContentView::presentationChanged, this,
            &NewSlotAlertSheet::followPresentation);
    m_showingSummary = !m_view.isNewSlotAlertSummaryPresented();
    followPresentation();
}

NewSlotAlertSheet::~NewSlotAlertSheet() = default;

void NewSlotAlertSheet::reject()
{
    if (m_view.isNewSlotAlertSummaryPresented())
        m_view.cancelNewSlotAlertSummary();
    else
        m_view.cancelNewSlotAlertSheet();
}

void NewSlotAlertSheet::followPresentation()
{
    if (!m_view.isNewSlotAlertSheetPresented()) {
        QDialog::done(QDialog::Rejected);
        return;
    }
    const bool summary = m_view.isNewSlotAlertSummaryPresented();
    if (summary != m_showingSummary) {
        m_showingSummary = summary;
        m_faces->setCurrentWidget(summary ? m_summary.face : m_form.face);
        // Return is the face's main action: Save and Enable, or Apply.
        m_summary.saveAndEnable->setDefault(summary);
        m_form.apply->setDefault(!summary);
        // On a small screen the sheet shrinks and its sections scroll; the bar stays in view.
        setFixedSize(screenfit::clampedSize(summary ? summarySize : formSize,
                                            screenfit::availableArea(this)));
        // The form is taller than the summary: it must not grow past the screen's edge.
        screenfit::keepOnScreen(this);
    }
    render();
}

void NewSlotAlertSheet::render()
{
    const NewSlotAlertConfiguration &draft = m_view.newSlotAlertDraft();
    if (m_showingSummary)
        renderSummary(draft);
    else
        renderForm(draft);
}

NewSlotAlertSheet::FaceFrame
NewSlotAlertSheet::buildFaceFrame(QWidget *face, const QString &headerTrailing, int columnSpacing)
{
    FaceFrame frame;
    auto *layout = new QVBoxLayout(face);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(20, 14, 20, 14);
    QLabel *title = plainLabel(QStringLiteral("New Slot Alert"), face);
    setTextStyle(title, TextStyle::title2);
    header->addWidget(title);
    header->addStretch(1);
    frame.headerTrailing = plainLabel(headerTrailing, face);
    setSecondary(frame.headerTrailing);
    header->addWidget(frame.headerTrailing);
    layout->addLayout(header);
    layout->addWidget(divider(face));

    auto *scroll = new QScrollArea(face);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    frame.content = new QWidget(scroll);
    frame.column = new QVBoxLayout(frame.content);
    frame.column->setContentsMargins(20, 20, 20, 20);
    frame.column->setSpacing(columnSpacing);
    scroll->setWidget(frame.content);
    layout->addWidget(scroll, 1);
    layout->addWidget(divider(face));

    frame.bar = new QHBoxLayout;
    frame.bar->setContentsMargins(20, 12, 20, 12);
    frame.bar->setSpacing(8);
    layout->addLayout(frame.bar);
    return frame;
}

QPushButton *NewSlotAlertSheet::sheetButton(const QString &text, const char *name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    // Only the face's main action answers Return.
    button->setAutoDefault(false);
    return button;
}

QWidget *NewSlotAlertSheet::buildSummaryFace()
{
    auto *face = new QWidget(this);
    face->setObjectName(QStringLiteral("newSlotSummaryFace"));
    m_summary.face = face;
    const FaceFrame frame = buildFaceFrame(face, QStringLiteral("Summary"), 22);
    QWidget *content = frame.content;
    QVBoxLayout *column = frame.column;
    m_summary.explanation = plainLabel(QString(), content);
    m_summary.explanation->setObjectName(QStringLiteral("newSlotSummaryExplanation"));
    m_summary.explanation->setWordWrap(true);
    setSecondary(m_summary.explanation);
    column->addWidget(m_summary.explanation);

    m_summary.blocks = new QWidget(content);
    m_summary.blocks->setObjectName(QStringLiteral("newSlotSummaryBlocks"));
    auto *blocks = new QVBoxLayout(m_summary.blocks);
    blocks->setContentsMargins(0, 0, 0, 0);
    blocks->setSpacing(22);
    const auto dividedBlock = [&](const QString &heading, const char *name) {
        blocks->addWidget(divider(m_summary.blocks));
        QLabel *value = addBlock(blocks, heading, m_summary.blocks);
        value->setObjectName(QString::fromLatin1(name));
        return value;
    };
    m_summary.neededFor = dividedBlock(QStringLiteral("Needed for"), "newSlotSummaryNeededFor");
    m_summary.modes = dividedBlock(QStringLiteral("Mode"), "newSlotSummaryModes");
    m_summary.bands = dividedBlock(QStringLiteral("Bands"), "newSlotSummaryBands");
    m_summary.actions = dividedBlock(QStringLiteral("Actions"), "newSlotSummaryActions");
    auto *data = new QVBoxLayout;
    data->setSpacing(6);
    QLabel *dataTitle = plainLabel(QStringLiteral("Club Log data"), m_summary.blocks);
    setTextStyle(dataTitle, TextStyle::headline);
    data->addWidget(dataTitle);
    m_summary.refreshDate = plainLabel(QString(), m_summary.blocks);
    m_summary.refreshDate->setObjectName(QStringLiteral("newSlotSummaryRefreshDate"));
    setSecondary(m_summary.refreshDate);
    data->addWidget(m_summary.refreshDate);
    m_summary.counts = plainLabel(QString(), m_summary.blocks);
    m_summary.counts->setObjectName(QStringLiteral("newSlotSummaryCounts"));
    data->addWidget(m_summary.counts);
    blocks->addLayout(data);
    column->addWidget(m_summary.blocks);
    column->addStretch(1);

    QHBoxLayout *bar = frame.bar;
    QPushButton *clubLog =
        sheetButton(QStringLiteral("Club Log\u2026"), "newSlotClubLogButton", face);
    connect(clubLog, &QPushButton::clicked, this,
            [this] { m_view.showNewSlotClubLogConfiguration(); });
    bar->addWidget(clubLog);
    bar->addStretch(1);
    QPushButton *cancel = sheetButton(QStringLiteral("Cancel"), "newSlotSummaryCancelButton", face);
    connect(cancel, &QPushButton::clicked, this, [this] { m_view.cancelNewSlotAlertSummary(); });
    bar->addWidget(cancel);
    QPushButton *save = sheetButton(QStringLiteral("Save"), "newSlotSaveButton", face);
    connect(save, &QPushButton::clicked, this, [this] { m_view.saveNewSlotAlertDraft(); });
    bar->addWidget(save);
    m_summary.saveAndEnable =
        sheetButton(QStringLiteral("Save and Enable"), "newSlotSaveAndEnableButton", face);
    connect(m_summary.saveAndEnable, &QPushButton::clicked, this,
            [this] { m_view.saveAndEnableNewSlotAlert(); });
    bar->addWidget(m_summary.saveAndEnable);
    return face;
}

void NewSlotAlertSheet::renderSummary(const NewSlotAlertConfiguration &draft)
{
    const bool populated = draft.lastSuccessfulRefresh.has_value();
    m_summary.explanation->setText(
        populated ? QStringLiteral("This alert is populated from Club Log and cannot be changed "
                                   "directly. Use Club Log\u2026 below to change the needed "
                                   "status, modes, bands or actions.")
                  : QStringLiteral("This alert has not yet been populated from Club Log. Use "
                                   "Club Log\u2026 below to configure it."));
    m_summary.blocks->setVisible(populated);
    if (!populated)
        return;
    m_summary.neededFor->setText(newSlotWantedStatusText(draft.wantedStatus));
    m_summary.modes->setText(newSlotModesText(draft.modes));
    m_summary.bands->setText(newSlotBandsText(draft.bands));
    m_summary.actions->setText(newSlotActionsText(draft));
    m_summary.refreshDate->setText(clubLogRefreshDateText(draft));
    const std::optional<QString> counts = newSlotNeededCountsText(draft);
    m_summary.counts->setText(counts.value_or(QString()));
    m_summary.counts->setVisible(counts.has_value());
}

} // namespace varnello
