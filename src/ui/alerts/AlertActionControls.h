#pragma once

#include "AlertModel.h"

class QCheckBox;
class QComboBox;
class QToolButton;
class QVBoxLayout;
class QWidget;

namespace varnello {

class ColorSwatchButton;

// The controls of an alert's actions: row highlight with its colour well, the sound with its menu
// and test button, the two sound frequencies and the notification. The alert editor and the
// New Slot sheet both show them and connect them to their own drafts.
struct AlertActionControls {
    // The object names the sheets give the controls.
    struct Names {
        const char *highlight;
        const char *colour;
        const char *playSound;
        const char *soundChoice;
        const char *play;
        const char *everySpot;
        const char *everyFiveMinutes;
        const char *notification;
    };
    // Side by side, or one above the other under the sound checkbox where a row is too narrow.
    enum class FrequencyLayout { row, indentedColumn };

    QCheckBox *highlight = nullptr;
    QWidget *colourGroup = nullptr;
    ColorSwatchButton *colour = nullptr;
    QCheckBox *playSound = nullptr;
    QWidget *soundGroup = nullptr;
    QComboBox *soundChoice = nullptr;
    QToolButton *play = nullptr;
    QCheckBox *everySpot = nullptr;
    QCheckBox *everyFiveMinutes = nullptr;
    QCheckBox *notification = nullptr;

    // Adds the controls, top to bottom, to `layout` (a column with spacing 8) of `section`.
    static AlertActionControls build(QWidget *section, QVBoxLayout *layout, const Names &names,
                                     FrequencyLayout frequencyLayout);

    // Shows the values without emitting anything. Disabled controls keep showing theirs.
    void render(bool highlightRows, const SpotAlertColor &highlightColor, bool playSoundOn,
                AlertSoundChoice choice, AlertSoundFrequency frequency,
                bool showNotification) const;
    template <typename Alert> void render(const Alert &alert) const
    {
        render(alert.highlightRows, alert.highlightColor, alert.playSound, alert.soundChoice,
               alert.soundFrequency, alert.showNotification);
    }
};

} // namespace varnello
