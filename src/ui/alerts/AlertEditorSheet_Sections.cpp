// The settings column of the alert editor: bands, modes, actions and the read-only Club Log
// section.
#include "AlertEditorSheet.h"

#include "AlertActionControls.h"
#include "AlertEditorRules.h"
#include "AlertPanelStyle.h"
#include "AlertSummaryText.h"
#include "ColorSwatchButton.h"
#include "ContentView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace varnello {

using namespace alertstyle;

QWidget *AlertEditorSheet::buildSettingsColumn()
{
    auto *column = new QWidget;
    column->setObjectName(QStringLiteral("settingsColumn"));
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);

    m_clubLogSection = new QWidget(column);
    QVBoxLayout *clubLog = sectionLayout(m_clubLogSection, 14);
    clubLog->addWidget(buildClubLogSection());
    clubLog->addWidget(divider(m_clubLogSection));
    layout->addWidget(m_clubLogSection);

    m_plainSections = new QWidget(column);
    QVBoxLayout *plain = sectionLayout(m_plainSections, 14);
    plain->addWidget(buildBandsSection());
    plain->addWidget(divider(m_plainSections));
    plain->addWidget(buildModesSection());
    plain->addWidget(divider(m_plainSections));
    layout->addWidget(m_plainSections);

    layout->addWidget(buildActionsSection());
    layout->addStretch(1);
    return column;
}

QWidget *AlertEditorSheet::buildBandsSection()
{
    auto *section = new QWidget;
    QVBoxLayout *layout = sectionLayout(section, 12);
    QPushButton *all = headerButton(QStringLiteral("Bands"), TextStyle::headline,
                                    QStringLiteral("Select or deselect all bands"), section);
    all->setObjectName(QStringLiteral("bandsHeader"));
    connect(all, &QPushButton::clicked, &m_view, &ContentView::toggleAllAlertBands);
    layout->addWidget(all);

    auto *groups = new QHBoxLayout;
    groups->setSpacing(28);
    const std::pair<QString, QStringList> columns[] = {
        {QStringLiteral("HF"), ContentView::hfBands()},
        {QStringLiteral("VHF / UHF"), ContentView::vhfUHFBands()},
        {QStringLiteral("Microwave"), ContentView::microwaveBands()},
    };
    for (const auto &[title, bands] : columns) {
        auto *group = new QVBoxLayout;
        group->setSpacing(8);
        QPushButton *header = headerButton(
            title, TextStyle::subheadlineSemibold,
            QStringLiteral("Select or deselect all ") + title + QStringLiteral(" bands"), section);
        header->setObjectName(QStringLiteral("bandGroup:") + title);
        setSecondary(header);
        connect(header, &QPushButton::clicked, this,
                [this, bands = bands] { m_view.toggleAlertBandGroup(bands); });
        group->addWidget(header);
        for (const QString &band : bands) {
            auto *box = new QCheckBox(band, section);
            box->setObjectName(QStringLiteral("band:") + band);
            connect(box, &QCheckBox::clicked, this,
                    [this, band](bool on) { m_view.setAlertDraftBand(band, on); });
            m_bandBoxes.insert(band, box);
            group->addWidget(box);
        }
        group->addStretch(1);
        groups->addLayout(group, 1);
    }
    layout->addLayout(groups);
    layout->addWidget(caption(QStringLiteral("No selection means any band."), section));
    return section;
}

QWidget *AlertEditorSheet::buildModesSection()
{
    auto *section = new QWidget;
    QVBoxLayout *layout = sectionLayout(section, 12);
    QPushButton *all = headerButton(QStringLiteral("Modes"), TextStyle::headline,
                                    QStringLiteral("Select or deselect all modes"), section);
    all->setObjectName(QStringLiteral("modesHeader"));
    connect(all, &QPushButton::clicked, &m_view, &ContentView::toggleAllAlertModes);
    layout->addWidget(all);
    auto *columns = new QHBoxLayout;
    columns->setSpacing(36);
    const QList<SpotType> columnModes[] = {{SpotType::cw, SpotType::ssb},
                                           {SpotType::ftx, SpotType::otherDigital}};
    for (const QList<SpotType> &modes : columnModes) {
        auto *column = new QVBoxLayout;
        column->setSpacing(8);
        for (SpotType mode : modes) {
            auto *box = new QCheckBox(alertModeClassName(mode), section);
            box->setObjectName(QStringLiteral("mode:") + toRaw(mode));
            connect(box, &QCheckBox::clicked, this,
                    [this, mode](bool on) { m_view.setAlertDraftMode(mode, on); });
            m_modeBoxes.insert(int(mode), box);
            column->addWidget(box);
        }
        columns->addLayout(column, 1);
    }
    layout->addLayout(columns);
    layout->addWidget(caption(QStringLiteral("No selection means any mode."), section));
    return section;
}

QWidget *AlertEditorSheet::buildActionsSection()
{
    auto *section = new QWidget;
    QVBoxLayout *layout = sectionLayout(section, 12);
    QPushButton *all = headerButton(QStringLiteral("Actions"), TextStyle::headline,
                                    QStringLiteral("Select or deselect all actions"), section);
    all->setObjectName(QStringLiteral("actionsHeader"));
    connect(all, &QPushButton::clicked, &m_view, &ContentView::toggleAllAlertActions);
    layout->addWidget(all);

    auto *controls = new QVBoxLayout;
    controls->setSpacing(8);
    // Side by side the two frequencies would not fit the column.
    m_actions = AlertActionControls::build(section, controls,
                                           {"highlightRows", "highlightColour", "playSound",
                                            "soundChoice", "playAlertSound", "everySpot",
                                            "everyFiveMinutes", "showNotification"},
                                           AlertActionControls::FrequencyLayout::indentedColumn);
    connect(m_actions.highlight, &QCheckBox::clicked, &m_view,
            &ContentView::setAlertDraftHighlightRows);
    // Only a colour the user picks reaches the draft.
    connect(m_actions.colour, &ColorSwatchButton::colorPicked, &m_view,
            &ContentView::setAlertDraftHighlightColor);
    connect(m_actions.playSound, &QCheckBox::clicked, &m_view,
            &ContentView::setAlertDraftPlaySound);
    connect(m_actions.soundChoice, &QComboBox::activated, this, [this](int index) {
        m_view.setAlertDraftSoundChoice(
            AlertSoundChoice(m_actions.soundChoice->itemData(index).toInt()));
    });
    connect(m_actions.play, &QToolButton::clicked, &m_view, &ContentView::playAlertDraftSound);
    for (const auto &[box, option] :
         {std::pair{m_actions.everySpot, AlertSoundFrequency::everySpot},
          std::pair{m_actions.everyFiveMinutes, AlertSoundFrequency::everyFiveMinutes}}) {
        connect(box, &QCheckBox::clicked, this, [this, option = option](bool on) {
            m_view.setAlertDraftSoundFrequency(option, on);
            // Unticking the chosen one changes nothing: show it ticked again.
            refreshActions();
        });
    }
    connect(m_actions.notification, &QCheckBox::clicked, &m_view,
            &ContentView::setAlertDraftShowNotification);
    layout->addLayout(controls);

    m_noActionCaption = caption(
        QStringLiteral("Select at least one action for this alert to do anything."), section);
    m_noActionCaption->setObjectName(QStringLiteral("noActionCaption"));
    layout->addWidget(m_noActionCaption);
    return section;
}

QWidget *AlertEditorSheet::buildClubLogSection()
{
    auto *section = new QWidget;
    section->setObjectName(QStringLiteral("clubLogSection"));
    QVBoxLayout *layout = sectionLayout(section, 12);
    auto *headline = plainLabel(QStringLiteral("Club Log bands and modes"), section);
    setTextStyle(headline, TextStyle::headline);
    layout->addWidget(headline);
    auto *explanation = plainLabel(
        QStringLiteral("These band and mode combinations were generated by Club Log and can not "
                       "be edited here. Use Club Log\u2026 to update them, or use Clear All to "
                       "reset this alert."),
        section);
    explanation->setWordWrap(true);
    setTextStyle(explanation, TextStyle::callout);
    setSecondary(explanation);
    layout->addWidget(explanation);
    m_clubLogType = plainLabel(QString(), section);
    m_clubLogType->setObjectName(QStringLiteral("clubLogAlertType"));
    layout->addWidget(m_clubLogType);
    m_clubLogLines = new QVBoxLayout;
    m_clubLogLines->setSpacing(8);
    layout->addLayout(m_clubLogLines);
    return section;
}

void AlertEditorSheet::refreshActions()
{
    const SpotAlertConfiguration &draft = m_view.alertDraft();
    m_actions.render(draft);
    m_noActionCaption->setVisible(!draft.highlightRows && !draft.playSound &&
                                  !draft.showNotification);
}

void AlertEditorSheet::refreshClubLogSection()
{
    const std::optional<ClubLogAlertSettings> &settings = m_view.alertDraft().clubLogSettings;
    QString type;
    if (settings)
        type = settings->wantedStatus == ClubLogWantedStatus::notConfirmed
                   ? QStringLiteral("Alert type: Not confirmed")
                   : QStringLiteral("Alert type: Not worked");
    m_clubLogType->setText(type);

    const QStringList lines = m_view.alertEditorClubLogSlotLines();
    if (lines == m_shownSlotLines)
        return;
    m_shownSlotLines = lines;
    while (QLayoutItem *item = m_clubLogLines->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (lines.isEmpty()) {
        auto *none =
            plainLabel(QStringLiteral("No outstanding band/mode slots."), m_clubLogSection);
        setSecondary(none);
        m_clubLogLines->addWidget(none);
    }
    for (const QString &line : lines) {
        auto *label = plainLabel(line, m_clubLogSection);
        label->setObjectName(QStringLiteral("clubLogSlotLine"));
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_clubLogLines->addWidget(label);
    }
}

} // namespace varnello
