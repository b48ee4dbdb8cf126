#pragma once

#include "WindowFrame.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace varnello {

class AppSettingsStore;

// Keeps the main window's frame and whether it is maximised in the settings document: saved
// whenever the shown window moves, is resized, changes state or closes, and put back on request,
// wholly inside the connected screen it overlaps most. The frame is the normal geometry, also
// while the window is maximised.
class MainWindowFrameKeeper final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindowFrameKeeper)

public:
    explicit MainWindowFrameKeeper(AppSettingsStore &settings,
                                   WindowFrame::Screens screens = WindowFrame::connectedScreens,
                                   QObject *parent = nullptr);

    // Saves `window`'s frame after each move, resize, state change and close once it is shown.
    void watch(QWidget *window);

    // Stores the frame of the main window; any other window (a panel, the Settings window, a
    // window showing a sheet) is passed over.
    void saveMainWindowFrame(QWidget *window);

    // Puts the saved frame back, before the window is first shown, when it is usable and overlaps
    // a screen; true when applied. Without `includeSize` only the position is restored and the
    // window keeps its size. A window saved maximised is maximised again over that frame.
    bool restoreMainWindowFrame(QWidget *window, bool includeSize = true);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool restoreNormalFrame(QWidget *window, bool includeSize);

    AppSettingsStore &m_settings;
    WindowFrame::Screens m_screens;
};

} // namespace varnello
