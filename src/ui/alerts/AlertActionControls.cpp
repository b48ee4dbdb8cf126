#include "AlertActionControls.h"

#include "AlertPanelStyle.h"
#include "ColorSwatchButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace varnello {

using namespace alertstyle;

namespace {

// A checkbox with its controls to the right, which it enables as one group.
struct ControlledRow {
    QWidget *group;
    QHBoxLayout *groupLayout;
};

ControlledRow controlledRow(QVBoxLayout *layout, QCheckBox *box, QWidget *section, int spacing)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(28);
    row->setAlignment(Qt::AlignVCenter);
    row->addWidget(box, 1);
    auto *group = new QWidget(section);
    auto *groupLayout = new QHBoxLayout(group);
    groupLayout->setContentsMargins(0, 0, 0, 0);
    groupLayout->setSpacing(spacing);
    row->addWidget(group, 1);
    layout->addLayout(row);
    return {group, groupLayout};
}

QCheckBox *namedBox(const QString &text, const char *name, QWidget *parent)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

} // namespace

AlertActionControls AlertActionControls::build(QWidget *section, QVBoxLayout *layout,
                                               const Names &names, FrequencyLayout frequencyLayout)
{
    AlertActionControls c;

    c.highlight = namedBox(QStringLiteral("Highlight matching rows"), names.highlight, section);
    // The label belongs to the well: both dim together while highlighting is off.
    const ControlledRow highlightRow = controlledRow(layout, c.highlight, section, 8);
    c.colourGroup = highlightRow.group;
    highlightRow.groupLayout->addWidget(
        plainLabel(QStringLiteral("Highlight colour"), c.colourGroup));
    c.colour = new ColorSwatchButton(c.colourGroup);
    c.colour->setObjectName(QString::fromLatin1(names.colour));
    c.colour->setDialogTitle(QStringLiteral("Highlight colour"));
    c.colour->setAccessibleName(QStringLiteral("Highlight colour"));
    highlightRow.groupLayout->addWidget(c.colour);
    highlightRow.groupLayout->addStretch(1);

    c.playSound = namedBox(QStringLiteral("Play an alert sound"), names.playSound, section);
    const ControlledRow soundRow = controlledRow(layout, c.playSound, section, 6);
    c.soundGroup = soundRow.group;
    QHBoxLayout *soundLayout = soundRow.groupLayout;
    c.soundChoice = new QComboBox(c.soundGroup);
    c.soundChoice->setObjectName(QString::fromLatin1(names.soundChoice));
    c.soundChoice->setAccessibleName(QStringLiteral("Alert sound"));
    // The stored value of the system beep keeps its original name; only its title differs.
    c.soundChoice->addItem(QStringLiteral("System Default"), int(AlertSoundChoice::appleDefault));
    c.soundChoice->addItem(QStringLiteral("Alert 1"), int(AlertSoundChoice::alert1));
    c.soundChoice->addItem(QStringLiteral("Alert 2"), int(AlertSoundChoice::alert2));
    soundLayout->addWidget(c.soundChoice);
    c.play = new QToolButton(c.soundGroup);
    c.play->setObjectName(QString::fromLatin1(names.play));
    c.play->setAutoRaise(true);
    c.play->setIcon(symbol(u"play.fill"));
    c.play->setToolTip(QStringLiteral("Play selected alert sound"));
    c.play->setAccessibleName(QStringLiteral("Play"));
    soundLayout->addWidget(c.play);
    soundLayout->addStretch(1);

    c.everySpot = namedBox(QStringLiteral("Alert every matching spot"), names.everySpot, section);
    c.everyFiveMinutes = namedBox(QStringLiteral("Maximum once every five minutes"),
                                  names.everyFiveMinutes, section);
    if (frequencyLayout == FrequencyLayout::row) {
        auto *frequencyRow = new QHBoxLayout;
        frequencyRow->setSpacing(28);
        frequencyRow->setAlignment(Qt::AlignTop);
        frequencyRow->addWidget(c.everySpot, 1, Qt::AlignTop | Qt::AlignLeft);
        frequencyRow->addWidget(c.everyFiveMinutes, 1, Qt::AlignTop | Qt::AlignLeft);
        layout->addLayout(frequencyRow);
    } else {
        auto *frequencyColumn = new QVBoxLayout;
        frequencyColumn->setContentsMargins(22, 0, 0, 0);
        frequencyColumn->setSpacing(8);
        frequencyColumn->addWidget(c.everySpot, 0, Qt::AlignLeft);
        frequencyColumn->addWidget(c.everyFiveMinutes, 0, Qt::AlignLeft);
        layout->addLayout(frequencyColumn);
    }

    c.notification =
        namedBox(QStringLiteral("Show system notification"), names.notification, section);
    layout->addWidget(c.notification);
    return c;
}

void AlertActionControls::render(bool highlightRows, const SpotAlertColor &highlightColor,
                                 bool playSoundOn, AlertSoundChoice choice,
                                 AlertSoundFrequency frequency, bool showNotification) const
{
    setCheckedQuietly(highlight, highlightRows);
    colourGroup->setEnabled(highlightRows);
    colour->setColor(highlightColor);
    setCheckedQuietly(playSound, playSoundOn);
    soundGroup->setEnabled(playSoundOn);
    {
        const QSignalBlocker block(soundChoice);
        soundChoice->setCurrentIndex(soundChoice->findData(int(choice)));
    }
    setCheckedQuietly(everySpot, frequency == AlertSoundFrequency::everySpot);
    setCheckedQuietly(everyFiveMinutes, frequency == AlertSoundFrequency::everyFiveMinutes);
    everySpot->setEnabled(playSoundOn);
    everyFiveMinutes->setEnabled(playSoundOn);
    setCheckedQuietly(notification, showNotification);
}

} // namespace varnello
