// The sheet's configuration face: needed-for, modes, bands, actions and the lookup buttons. Every
// control edits the view's draft; the draft is drawn back into the controls after each change, so
// a control the rules refuse to change (Mixed off, the current frequency off) shows so at once.
#include "NewSlotAlertSheet.h"

#include "AlertActionControls.h"
#include "AlertPanelStyle.h"
#include "AlertSummaryText.h"
#include "ColorSwatchButton.h"
#include "ContentView.h"
#include "LineLimitedLabel.h"
#include "NewSlotRules.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace varnello {

using namespace alertstyle;

void NewSlotAlertSheet::editDraft(const std::function<void(NewSlotAlertConfiguration &)> &change)
{
    NewSlotAlertConfiguration draft = m_view.newSlotAlertDraft();
    change(draft);
    m_view.setNewSlotAlertDraft(draft);
    render();
}

QWidget *NewSlotAlertSheet::buildFormFace()
{
    auto *face = new QWidget(this);
    face->setObjectName(QStringLiteral("newSlotFormFace"));
    m_form.face = face;
    const FaceFrame frame = buildFaceFrame(face, QString(), 18);
    m_form.refreshDate = frame.headerTrailing;
    m_form.refreshDate->setObjectName(QStringLiteral("newSlotFormRefreshDate"));
    QWidget *content = frame.content;
    QVBoxLayout *sections = frame.column;

    auto *neededFor = new QWidget(content);
    QVBoxLayout *neededLayout = sectionLayout(neededFor, 10);
    QLabel *neededTitle = plainLabel(QStringLiteral("Needed for"), neededFor);
    setTextStyle(neededTitle, TextStyle::headline);
    neededLayout->addWidget(neededTitle);
    m_form.notWorked = new QRadioButton(QStringLiteral("Not worked"), neededFor);
    m_form.notWorked->setObjectName(QStringLiteral("newSlotNotWorkedRadio"));
    m_form.notConfirmed = new QRadioButton(QStringLiteral("Not confirmed"), neededFor);
    m_form.notConfirmed->setObjectName(QStringLiteral("newSlotNotConfirmedRadio"));
    auto *wanted = new QButtonGroup(neededFor);
    wanted->addButton(m_form.notWorked);
    wanted->addButton(m_form.notConfirmed);
    connect(m_form.notWorked, &QRadioButton::clicked, this, [this] {
        editDraft([](auto &d) { d.wantedStatus = ClubLogWantedStatus::notWorked; });
    });
    connect(m_form.notConfirmed, &QRadioButton::clicked, this, [this] {
        editDraft([](auto &d) { d.wantedStatus = ClubLogWantedStatus::notConfirmed; });
    });
    neededLayout->addWidget(m_form.notWorked);
    neededLayout->addWidget(m_form.notConfirmed);
    sections->addWidget(neededFor);
    sections->addWidget(divider(content));
    sections->addWidget(buildModeSection());
    sections->addWidget(divider(content));
    sections->addWidget(buildBandSection());
    sections->addWidget(divider(content));
    sections->addWidget(buildActionSection());
    sections->addStretch(1);

    // What Refresh and Apply answer is shown beside them, in the bar that never scrolls away; its
    // place keeps Cancel and Apply at the right while there is nothing to say.
    auto *failurePlace = new QWidget(face);
    auto *failureLayout = new QHBoxLayout(failurePlace);
    failureLayout->setContentsMargins(0, 0, 0, 0);
    m_form.failure = new LineLimitedLabel(3, failurePlace);
    m_form.failure->setObjectName(QStringLiteral("newSlotFailureLabel"));
    setTextStyle(m_form.failure, TextStyle::caption);
    QPalette red = m_form.failure->palette();
    red.setColor(QPalette::WindowText, QColor(0xd7, 0x26, 0x1e));
    m_form.failure->setPalette(red);
    failureLayout->addWidget(m_form.failure);

    QHBoxLayout *bar = frame.bar;
    const auto button = [face](const QString &text, const char *name) {
        return sheetButton(text, name, face);
    };
    QPushButton *reset = button(QStringLiteral("Reset"), "newSlotResetButton");
    connect(reset, &QPushButton::clicked, this, [this] {
        m_view.resetNewSlotAlertDraft();
        render();
    });
    bar->addWidget(reset);
    m_form.refresh = button(QStringLiteral("Refresh"), "newSlotRefreshButton");
    connect(m_form.refresh, &QPushButton::clicked, this,
            [this] { m_view.applyNewSlotAlertDraft(false); });
    bar->addWidget(m_form.refresh);
    bar->addWidget(failurePlace, 1);
    QPushButton *cancel = button(QStringLiteral("Cancel"), "newSlotCancelButton");
    connect(cancel, &QPushButton::clicked, this, [this] { m_view.cancelNewSlotAlertSheet(); });
    bar->addWidget(cancel);
    m_form.apply = button(QStringLiteral("Apply"), "newSlotApplyButton");
    connect(m_form.apply, &QPushButton::clicked, this,
            [this] { m_view.applyNewSlotAlertDraft(true); });
    bar->addWidget(m_form.apply);
    return face;
}

QWidget *NewSlotAlertSheet::buildModeSection()
{
    auto *section = new QWidget(this);
    QVBoxLayout *layout = sectionLayout(section, 10);
    QPushButton *header = headerButton(QStringLiteral("Mode"), TextStyle::headline,
                                       QStringLiteral("Select or deselect all modes"), section);
    header->setObjectName(QStringLiteral("newSlotModeHeader"));
    connect(header, &QPushButton::clicked, this, [this] {
        m_view.selectAllNewSlotModes();
        render();
    });
    layout->addWidget(header);

    auto *columns = new QHBoxLayout;
    columns->setSpacing(46);
    const auto column = [&](std::initializer_list<std::pair<ClubLogMode, const char *>> modes) {
        auto *stack = new QVBoxLayout;
        stack->setSpacing(10);
        for (const auto &[mode, text] : modes) {
            auto *box = new QCheckBox(QString::fromLatin1(text), section);
            box->setObjectName(QStringLiteral("newSlotMode_") + toRaw(mode));
            connect(box, &QCheckBox::clicked, this, [this, mode = mode](bool on) {
                m_view.setNewSlotDraftMode(mode, on);
                render();
            });
            m_form.modes.insert(mode, box);
            stack->addWidget(box);
        }
        columns->addLayout(stack);
    };
    column({{ClubLogMode::mixed, "Mixed"}, {ClubLogMode::cw, "CW"}});
    column({{ClubLogMode::ssb, "SSB"}, {ClubLogMode::data, "Data"}});
    columns->addStretch(1);
    layout->addLayout(columns);
    layout->addWidget(
        caption(QStringLiteral("Data enables both FTx and Other Data in the alert."), section));
    return section;
}

QCheckBox *NewSlotAlertSheet::bandCheckBox(const QString &band, QWidget *parent)
{
    auto *box = new QCheckBox(band, parent);
    box->setObjectName(QStringLiteral("newSlotBand_") + band);
    connect(box, &QCheckBox::clicked, this, [this, band](bool on) {
        m_view.setNewSlotDraftBand(band, on);
        render();
    });
    m_form.bands.insert(band, box);
    return box;
}

QWidget *NewSlotAlertSheet::buildBandSection()
{
    auto *section = new QWidget(this);
    QVBoxLayout *layout = sectionLayout(section, 10);
    const auto header = [&](const QString &text, TextStyle style, const QString &toolTip,
                            const char *name, std::function<void()> action) {
        QPushButton *button = headerButton(text, style, toolTip, section);
        button->setObjectName(QString::fromLatin1(name));
        connect(button, &QPushButton::clicked, this, [this, action] {
            action();
            render();
        });
        return button;
    };
    layout->addWidget(header(QStringLiteral("Bands"), TextStyle::headline,
                             QStringLiteral("Select or deselect all bands"), "newSlotBandsHeader",
                             [this] { m_view.toggleAllNewSlotBands(); }));
    layout->addWidget(header(QStringLiteral("HF"), TextStyle::subheadlineSemibold,
                             QStringLiteral("Select or deselect all HF bands"), "newSlotHFHeader",
                             [this] { m_view.toggleNewSlotHFBands(); }));
    // Five columns of two, so the top row reads 160m to 30m and the bottom row 20m to 10m.
    auto *grid = new QHBoxLayout;
    grid->setSpacing(14);
    const QStringList &hf = hfBands();
    for (int column = 0; column < 5; ++column) {
        auto *stack = new QVBoxLayout;
        stack->setSpacing(8);
        stack->addWidget(bandCheckBox(hf[column], section));
        stack->addWidget(bandCheckBox(hf[column + 5], section));
        grid->addLayout(stack);
    }
    grid->addStretch(1);
    layout->addLayout(grid);

    layout->addSpacing(4);
    layout->addWidget(header(QStringLiteral("VHF/UHF"), TextStyle::subheadlineSemibold,
                             QStringLiteral("Select or deselect all VHF/UHF bands"),
                             "newSlotVHFUHFHeader",
                             [this] { m_view.toggleNewSlotBandGroup(vhfUHFBands()); }));
    auto *vhf = new QHBoxLayout;
    vhf->setSpacing(20);
    for (const QString &band : vhfUHFBands())
        vhf->addWidget(bandCheckBox(band, section));
    vhf->addStretch(1);
    layout->addLayout(vhf);

    layout->addSpacing(4);
    const QStringList microwave{QStringLiteral("13cm")};
    layout->addWidget(header(QStringLiteral("Microwave"), TextStyle::subheadlineSemibold,
                             QStringLiteral("Select or deselect all microwave bands"),
                             "newSlotMicrowaveHeader",
                             [this, microwave] { m_view.toggleNewSlotBandGroup(microwave); }));
    layout->addWidget(bandCheckBox(microwave.first(), section));
    return section;
}

QWidget *NewSlotAlertSheet::buildActionSection()
{
    auto *section = new QWidget(this);
    QVBoxLayout *layout = sectionLayout(section, 12);
    QPushButton *header = headerButton(QStringLiteral("Actions"), TextStyle::headline,
                                       QStringLiteral("Select or deselect all actions"), section);
    header->setObjectName(QStringLiteral("newSlotActionsHeader"));
    connect(header, &QPushButton::clicked, this, [this] {
        m_view.toggleAllNewSlotActions();
        render();
    });
    layout->addWidget(header);

    m_form.actions = AlertActionControls::build(
        section, layout,
        {"newSlotHighlightCheckBox", "newSlotColourWell", "newSlotPlaySoundCheckBox",
         "newSlotSoundChoice", "newSlotPlayButton", "newSlotEverySpotCheckBox",
         "newSlotEveryFiveMinutesCheckBox", "newSlotNotificationCheckBox"},
        AlertActionControls::FrequencyLayout::row);
    const AlertActionControls &c = m_form.actions;
    connect(c.highlight, &QCheckBox::clicked, this,
            [this](bool on) { editDraft([on](auto &d) { d.highlightRows = on; }); });
    connect(c.colour, &ColorSwatchButton::colorPicked, this, [this](const SpotAlertColor &colour) {
        m_view.setNewSlotDraftHighlightColor(colour);
        render();
    });
    connect(c.playSound, &QCheckBox::clicked, this,
            [this](bool on) { editDraft([on](auto &d) { d.playSound = on; }); });
    connect(c.soundChoice, &QComboBox::activated, this, [this](int index) {
        const auto choice = AlertSoundChoice(m_form.actions.soundChoice->itemData(index).toInt());
        editDraft([choice](auto &d) { d.soundChoice = choice; });
    });
    connect(c.play, &QToolButton::clicked, this, [this] { m_view.previewNewSlotAlertSound(); });
    for (const auto &[box, frequency] :
         {std::pair{c.everySpot, AlertSoundFrequency::everySpot},
          std::pair{c.everyFiveMinutes, AlertSoundFrequency::everyFiveMinutes}}) {
        connect(box, &QCheckBox::clicked, this, [this, frequency = frequency](bool on) {
            m_view.setNewSlotDraftSoundFrequency(frequency, on);
            render();
        });
    }
    connect(c.notification, &QCheckBox::clicked, this, [this](bool on) {
        editDraft([on](auto &d) { d.showNotification = on; });
        m_view.newSlotNotificationToggleChanged(on);
    });
    return section;
}

void NewSlotAlertSheet::renderForm(const NewSlotAlertConfiguration &draft)
{
    m_form.refreshDate->setText(clubLogRefreshDateText(draft));
    setCheckedQuietly(m_form.notWorked, draft.wantedStatus == ClubLogWantedStatus::notWorked);
    setCheckedQuietly(m_form.notConfirmed, draft.wantedStatus == ClubLogWantedStatus::notConfirmed);
    for (auto it = m_form.modes.cbegin(); it != m_form.modes.cend(); ++it)
        setCheckedQuietly(it.value(), draft.modes.contains(it.key()));
    for (auto it = m_form.bands.cbegin(); it != m_form.bands.cend(); ++it)
        setCheckedQuietly(it.value(), draft.bands.contains(it.key()));

    m_form.actions.render(draft);

    const bool showFailure = m_view.clubLogLookupFailed() && m_view.clubLogLookupMessage();
    m_form.failure->setFullText(showFailure ? *m_view.clubLogLookupMessage() : QString());
    m_form.failure->setVisible(showFailure);
    const bool canLookUp = !m_view.isClubLogLookupInProgress() && !draft.bands.isEmpty();
    m_form.refresh->setEnabled(canLookUp);
    m_form.apply->setEnabled(canLookUp);
}

} // namespace varnello
