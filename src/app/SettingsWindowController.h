#pragma once

#include "WindowFrame.h"

#include <QObject>
#include <QPointer>
#include <QSize>

#include <QWidget>

namespace varnello {

class AppSettingsStore;

// Owns the placement of the one Settings window: its saved frame is put back at start, wholly
// inside the connected screen it overlaps most (at least the designed size where the screen has
// room, never below the window's minimum); the first showing without one centres it over the
// main window, and every move and resize of the shown window is saved. Closing only hides the
// window.
class SettingsWindowController final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsWindowController)

public:
    static constexpr QSize minimumSize{900, 800};

    // `window` is the built Settings window, not yet shown; the controller does not own it.
    SettingsWindowController(QWidget *window, AppSettingsStore &settings,
                             WindowFrame::Screens screens = WindowFrame::connectedScreens,
                             QObject *parent = nullptr);

    QWidget *window() const { return m_window; }
    bool hasPositionedWindow() const { return m_hasPositionedWindow; }

    void showSettingsWindow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool restoreSavedFrame();
    void saveWindowFrame();

    QPointer<QWidget> m_window;
    AppSettingsStore &m_settings;
    WindowFrame::Screens m_screens;
    bool m_hasPositionedWindow = false;
};

} // namespace varnello
