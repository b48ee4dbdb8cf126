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

QHBoxLayout *actionRow(Qt::Alignment alignment)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(28);
    row->setAlignment(alignment);
    return row;
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

    QHBoxLayout *highlightRow = actionRow(Qt::AlignVCenter);
    c.highlight = namedBox(QStringLiteral("Highlight matching rows"), names.highlight, section);
    highlightRow->addWidget(c.highlight, 1);
    // The label belongs to the well: both dim together while highlighting is off.
    c.colourGroup = new QWidget(section);
    auto *colourLayout = new QHBoxLayout(c.colourGroup);
    colourLayout->setContentsMargins(0, 0, 0, 0);
    colourLayout->setSpacing(8);
    colourLayout->addWidget(plainLabel(QStringLiteral("Highlight colour"), c.colourGroup));
    c.colour = new ColorSwatchButton(c.colourGroup);
    c.colour->setObjectName(QString::fromLatin1(names.colour));
    c.colour->setDialogTitle(QStringLiteral("Highlight colour"));
    c.colour->setAccessibleName(QStringLiteral("Highlight colour"));
    colourLayout->addWidget(c.colour);
    colourLayout->addStretch(1);
    highlightRow->addWidget(c.colourGroup, 1);
    layout->addLayout(highlightRow);

    QHBoxLayout *soundRow = actionRow(Qt::AlignVCenter);
    c.playSound = namedBox(QStringLiteral("Play an alert sound"), names.playSound, section);
    soundRow->addWidget(c.playSound, 1);
    c.soundGroup = new QWidget(section);
    auto *soundLayout = new QHBoxLayout(c.soundGroup);
    soundLayout->setContentsMargins(0, 0, 0, 0);
    soundLayout->setSpacing(6);
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
    soundRow->addWidget(c.soundGroup, 1);
    layout->addLayout(soundRow);

    c.everySpot = namedBox(QStringLiteral("Alert every matching spot"), names.everySpot, section);
    c.everyFiveMinutes = namedBox(QStringLiteral("Maximum once every five minutes"),
                                  names.everyFiveMinutes, section);
    if (frequencyLayout == FrequencyLayout::row) {
        QHBoxLayout *frequencyRow = actionRow(Qt::AlignTop);
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
