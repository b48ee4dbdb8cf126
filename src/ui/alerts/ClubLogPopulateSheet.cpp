#include "ClubLogPopulateSheet.h"

#include "AlertPanelStyle.h"
#include "ClubLogExplanationSheet.h"
#include "ClubLogSelection.h"
#include "ContentView.h"
#include "EntityPickerList.h"
#include "LineLimitedLabel.h"
#include "ScreenFit.h"
#include "ScrollingSheet.h"
#include "SheetFrame.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>

namespace varnello {

using namespace alertstyle;

namespace {

constexpr int maximumMessageLines = 3;
constexpr int settingsWidth = 400;
constexpr int entityListHeight = 475;
constexpr int minimumEntityListHeight = 160;
constexpr int minimumStatusWidth = 160;

QLabel *headline(const QString &text, QWidget *parent)
{
    auto *label = plainLabel(text, parent);
    setTextStyle(label, TextStyle::headline);
    return label;
}

} // namespace

ClubLogPopulateSheet::ClubLogPopulateSheet(ContentView &view, QWidget *parent)
    : QDialog(parent), m_view(view)
{
    setObjectName(QStringLiteral("clubLogPopulateSheet"));
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Populate from Club Log"));
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("populateContent"));
    content->setFixedWidth(designWidth);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(20, 20, 20, 20);
    header->setSpacing(12);
    auto *title = plainLabel(QStringLiteral("Populate from Club Log"), this);
    setTextStyle(title, TextStyle::title2);
    header->addWidget(title);
    header->addStretch(1);
    m_summary = plainLabel(QString(), this);
    m_summary->setObjectName(QStringLiteral("entitySummary"));
    setSecondary(m_summary);
    header->addWidget(m_summary);
    layout->addLayout(header);
    layout->addWidget(divider(this));

    // The settings column scrolls on its own and the entity list shrinks, so that on a small
    // screen neither needs a second scroll bar around them.
    auto *body = new QHBoxLayout;
    body->setSpacing(0);
    QScrollArea *settings = sheetframe::scrollingColumn(buildSettingsColumn(), settingsWidth, this);
    settings->setObjectName(QStringLiteral("populateSettingsScroll"));
    body->addWidget(settings);
    body->addWidget(verticalDivider(this));
    body->addWidget(buildEntityPanel(), 1);
    layout->addLayout(body, 1);

    auto *footer = new QWidget(this);
    footer->setObjectName(QStringLiteral("populateButtons"));
    auto *footerLayout = new QVBoxLayout(footer);
    footerLayout->setContentsMargins(0, 0, 0, 0);
    footerLayout->setSpacing(0);
    footerLayout->addWidget(divider(footer));
    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(20, 12, 20, 12);
    buttons->setSpacing(8);
    footerLayout->addLayout(buttons);
    m_clearSelection = new QPushButton(QStringLiteral("Clear Selection"), this);
    m_clearSelection->setObjectName(QStringLiteral("clearSelection"));
    m_clearSelection->setAutoDefault(false);
    connect(m_clearSelection, &QPushButton::clicked, &m_view,
            &ContentView::clearClubLogEntitySelection);
    buttons->addWidget(m_clearSelection);
    // What Apply answers is shown beside it, never scrolled away.
    buttons->addWidget(buildStatusArea(footer), 1);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, &m_view, &ContentView::closeClubLogAlertSheet);
    buttons->addWidget(cancel);
    m_apply = new QPushButton(QStringLiteral("Apply"), this);
    m_apply->setObjectName(QStringLiteral("apply"));
    m_apply->setDefault(true);
    connect(m_apply, &QPushButton::clicked, &m_view, &ContentView::populateFromClubLog);
    buttons->addWidget(m_apply);

    sheetframe::pinFooter(this, content, footer);
    const int height = sheetframe::naturalHeight(content, footer, designWidth);
    // The list asks for its designed height, but gives way on a smaller screen.
    m_picker->list()->setMinimumHeight(minimumEntityListHeight);
    m_picker->list()->setMaximumHeight(QWIDGETSIZE_MAX);
    screenfit::fitToScreen(this, QSize(designWidth, height));

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &ClubLogPopulateSheet::refresh);
    for (auto signal : {&ContentView::clubLogSheetChanged, &ContentView::clubLogLookupStateChanged,
                        &ContentView::alertEntitiesChanged})
        connect(&m_view, signal, this, &ClubLogPopulateSheet::scheduleRefresh);
    connect(&m_view, &ContentView::presentationChanged, this,
            &ClubLogPopulateSheet::followPresentation);
    connect(&m_view, &ContentView::clubLogSheetChanged, this,
            &ClubLogPopulateSheet::followPresentation);
    refresh();
}

ClubLogPopulateSheet::~ClubLogPopulateSheet() = default;

ClubLogExplanationSheet *ClubLogPopulateSheet::explanation() const
{
    return m_explanation;
}

QWidget *ClubLogPopulateSheet::buildSettingsColumn()
{
    auto *column = new QWidget(this);
    column->setObjectName(QStringLiteral("populateSettings"));
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(20, 16, 20, 10);
    layout->setSpacing(24);

    auto *needed = new QVBoxLayout;
    needed->setSpacing(10);
    needed->addWidget(headline(QStringLiteral("Needed for"), column));
    const auto statusBox = [&](const QString &text, const char *name, ClubLogWantedStatus status) {
        auto *box = new QCheckBox(text, column);
        box->setObjectName(QString::fromLatin1(name));
        connect(box, &QCheckBox::clicked, this,
                [this, status](bool on) { m_view.setClubLogWantedStatus(status, on); });
        needed->addWidget(box);
        return box;
    };
    m_notWorked =
        statusBox(QStringLiteral("Not worked"), "notWorked", ClubLogWantedStatus::notWorked);
    m_notConfirmed = statusBox(QStringLiteral("Not confirmed"), "notConfirmed",
                               ClubLogWantedStatus::notConfirmed);
    layout->addLayout(needed);
    layout->addWidget(divider(column));

    auto *modes = new QVBoxLayout;
    modes->setSpacing(10);
    modes->addWidget(headline(QStringLiteral("Mode"), column));
    auto *modeGrid = new QGridLayout;
    modeGrid->setHorizontalSpacing(46);
    modeGrid->setVerticalSpacing(10);
    const std::tuple<ClubLogMode, const char *, int, int> modeBoxes[] = {
        {ClubLogMode::mixed, "Mixed", 0, 0},
        {ClubLogMode::cw, "CW", 1, 0},
        {ClubLogMode::ssb, "SSB", 0, 1},
        {ClubLogMode::data, "Data", 1, 1},
    };
    for (const auto &[mode, text, row, col] : modeBoxes) {
        auto *box = new QCheckBox(QString::fromLatin1(text), column);
        box->setObjectName(QStringLiteral("clubLogMode:") + toRaw(mode));
        connect(box, &QCheckBox::clicked, this,
                [this, mode = mode](bool on) { m_view.setClubLogMode(mode, on); });
        m_modeBoxes.insert(int(mode), box);
        modeGrid->addWidget(box, row, col, Qt::AlignLeft);
    }
    modeGrid->setColumnStretch(2, 1);
    modes->addLayout(modeGrid);
    modes->addWidget(
        caption(QStringLiteral("Data enables both FTx and Other Data in the alert."), column));
    layout->addLayout(modes);
    layout->addWidget(divider(column));

    layout->addWidget(buildBandsSection(column));

    auto *hint = plainLabel(
        QStringLiteral("If you don\u2019t select an entity, all unworked or unconfirmed entities "
                       "matching the choices above will be added to the alert. If you select one "
                       "entity, Club Log will populate only the unworked or unconfirmed band and "
                       "mode combinations for that entity."),
        column);
    hint->setWordWrap(true);
    setSecondary(hint);
    layout->addWidget(hint);
    layout->addStretch(1);
    return column;
}

QWidget *ClubLogPopulateSheet::buildBandsSection(QWidget *parent)
{
    auto *section = new QWidget(parent);
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    const auto button = [&](const QString &text, TextStyle style, const QString &help,
                            const char *name, void (ContentView::*action)()) {
        QPushButton *b = headerButton(text, style, help, section);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, &m_view, action);
        layout->addWidget(b);
    };
    const auto bandBox = [&](const QString &band) {
        auto *box = new QCheckBox(band, section);
        box->setObjectName(QStringLiteral("clubLogBand:") + band);
        connect(box, &QCheckBox::clicked, this,
                [this, band](bool on) { m_view.setClubLogBand(band, on); });
        m_bandBoxes.insert(band, box);
        return box;
    };
    const auto bandRow = [&](const QStringList &bands) {
        auto *row = new QHBoxLayout;
        row->setSpacing(20);
        for (const QString &band : bands)
            row->addWidget(bandBox(band));
        row->addStretch(1);
        layout->addLayout(row);
    };

    button(QStringLiteral("Bands"), TextStyle::headline,
           QStringLiteral("Select or deselect all bands"), "clubLogAllBands",
           &ContentView::toggleAllClubLogBands);
    button(QStringLiteral("HF"), TextStyle::subheadlineSemibold,
           QStringLiteral("Select or deselect all HF bands"), "clubLogHF",
           &ContentView::toggleClubLogHFBands);
    // Five columns of two: 160m 80m 60m 40m 30m over 20m 17m 15m 12m 10m.
    auto *hf = new QGridLayout;
    hf->setHorizontalSpacing(14);
    hf->setVerticalSpacing(8);
    const QStringList &hfBands = clubLogHFBands();
    for (int i = 0; i < hfBands.size(); ++i)
        hf->addWidget(bandBox(hfBands[i]), i / 5, i % 5, Qt::AlignLeft);
    hf->setColumnStretch(5, 1);
    layout->addLayout(hf);
    button(QStringLiteral("VHF/UHF"), TextStyle::subheadlineSemibold,
           QStringLiteral("Select or deselect all VHF/UHF bands"), "clubLogVHFUHF",
           &ContentView::toggleClubLogVHFUHFBands);
    bandRow(clubLogVHFUHFBands());
    button(QStringLiteral("Microwave"), TextStyle::subheadlineSemibold,
           QStringLiteral("Select or deselect all microwave bands"), "clubLogMicrowave",
           &ContentView::toggleClubLogMicrowaveBands);
    bandRow(clubLogMicrowaveBands());
    return section;
}

QWidget *ClubLogPopulateSheet::buildStatusArea(QWidget *parent)
{
    m_status = new QStackedWidget(parent);
    m_status->setObjectName(QStringLiteral("lookupStatus"));
    // Takes the room between the buttons; its text is broken to that width.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_status->setMinimumWidth(minimumStatusWidth);
    m_status->addWidget(new QWidget(m_status));

    auto *progress = new QWidget(m_status);
    auto *progressRow = new QHBoxLayout(progress);
    progressRow->setContentsMargins(0, 0, 0, 0);
    progressRow->setSpacing(10);
    auto *spinner = new QProgressBar(progress);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(48, 10);
    progressRow->addWidget(spinner);
    auto *retrieving =
        plainLabel(QStringLiteral("Retrieving DXCC matrix from Club Log\u2026"), progress);
    retrieving->setObjectName(QStringLiteral("lookupProgress"));
    setSecondary(retrieving);
    progressRow->addWidget(retrieving, 1);
    m_status->addWidget(progress);

    auto *message = new QWidget(m_status);
    auto *messageRow = new QHBoxLayout(message);
    messageRow->setContentsMargins(0, 0, 0, 0);
    messageRow->setSpacing(10);
    m_messageIcon = new QLabel(message);
    messageRow->addWidget(m_messageIcon, 0, Qt::AlignTop);
    // Text from Club Log: never read as markup, and never more than three lines.
    m_message = new LineLimitedLabel(maximumMessageLines, message);
    m_message->setObjectName(QStringLiteral("lookupMessage"));
    setTextStyle(m_message, TextStyle::callout);
    messageRow->addWidget(m_message, 1, Qt::AlignTop);
    m_status->addWidget(message);
    return m_status;
}

QWidget *ClubLogPopulateSheet::buildEntityPanel()
{
    auto *panel = new QWidget(this);
    panel->setMinimumWidth(320);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QLabel *title = headline(QStringLiteral("DXCC Entities"), panel);
    title->setContentsMargins(12, 14, 12, 8);
    layout->addWidget(title);
    m_picker = new EntityPickerList(panel);
    m_picker->setObjectName(QStringLiteral("clubLogEntityPicker"));
    m_picker->list()->setFixedHeight(entityListHeight);
    connect(m_picker, &EntityPickerList::searchEdited, &m_view,
            &ContentView::setClubLogEntitySearch);
    connect(m_picker, &EntityPickerList::entityToggled, &m_view, &ContentView::toggleClubLogEntity);
    layout->addWidget(m_picker);
    return panel;
}

void ClubLogPopulateSheet::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_appeared)
        return;
    m_appeared = true;
    m_view.loadClubLogSheetState();
    QTimer::singleShot(0, m_picker, &EntityPickerList::scrollToTop);
}

void ClubLogPopulateSheet::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    refreshStatus();
}

void ClubLogPopulateSheet::reject()
{
    m_view.closeClubLogAlertSheet();
}

void ClubLogPopulateSheet::followPresentation()
{
    if (!m_view.isClubLogAlertSheetPresented()) {
        if (m_explanation)
            m_explanation->done(QDialog::Accepted);
        done(QDialog::Rejected);
        return;
    }
    if (m_view.isClubLogExplanationPresented() && !m_explanation && isVisible()) {
        m_explanation = new ClubLogExplanationSheet(m_view, this);
        m_explanation->setAttribute(Qt::WA_DeleteOnClose);
        m_explanation->open();
    } else if (!m_view.isClubLogExplanationPresented() && m_explanation) {
        m_explanation->done(QDialog::Accepted);
    }
}

void ClubLogPopulateSheet::scheduleRefresh()
{
    m_refreshTimer.start();
}

void ClubLogPopulateSheet::refresh()
{
    m_summary->setText(m_view.clubLogSelectedEntityADIFNumbers.isEmpty()
                           ? QStringLiteral("All DXCC entities")
                           : QStringLiteral("1 selected"));
    setCheckedQuietly(m_notWorked, m_view.clubLogWantedStatusIs(ClubLogWantedStatus::notWorked));
    setCheckedQuietly(m_notConfirmed,
                      m_view.clubLogWantedStatusIs(ClubLogWantedStatus::notConfirmed));
    for (auto it = m_modeBoxes.cbegin(); it != m_modeBoxes.cend(); ++it)
        setCheckedQuietly(it.value(), m_view.clubLogModeIsSelected(ClubLogMode(it.key())));
    const QSet<QString> ticked = m_view.clubLogSelectedBands();
    for (auto it = m_bandBoxes.cbegin(); it != m_bandBoxes.cend(); ++it)
        setCheckedQuietly(it.value(), ticked.contains(it.key()));
    m_picker->setContent(m_view.clubLogEntitySearch(), m_view.clubLogSelectedEntities(),
                         m_view.clubLogFilteredEntities());
    m_clearSelection->setEnabled(!m_view.clubLogSelectedEntityADIFNumbers.isEmpty());
    m_apply->setEnabled(!m_view.isClubLogLookupInProgress());
    refreshStatus();
}

void ClubLogPopulateSheet::refreshStatus()
{
    if (!m_status)
        return;
    if (m_view.isClubLogLookupInProgress()) {
        m_status->setCurrentIndex(1);
        return;
    }
    const std::optional<QString> &message = m_view.clubLogLookupMessage();
    if (!message) {
        m_status->setCurrentIndex(0);
        return;
    }
    m_status->setCurrentIndex(2);
    const bool failed = m_view.clubLogLookupFailed();
    const QColor colour = failed ? QColor(0xE0, 0x7B, 0x00) : QColor(0x2E, 0x9D, 0x3A);
    // Set again only when it changes: every keystroke in the entity search refreshes the sheet.
    if (m_message->palette().color(QPalette::WindowText) != colour) {
        m_messageIcon->setPixmap(alertstyle::symbol(failed ? u"exclamationmark.triangle.fill"
                                                           : u"checkmark.circle.fill")
                                     .pixmap(16, 16));
        QPalette palette = m_message->palette();
        palette.setColor(QPalette::WindowText, colour);
        m_message->setPalette(palette);
    }
    m_message->setFullText(*message);
}

} // namespace varnello
