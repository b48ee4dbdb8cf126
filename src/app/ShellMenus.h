#pragma once

#include "MainViewPreset.h"

#include <QObject>
#include <functional>

class QAction;
class QMenu;
class QMenuBar;

namespace varnello {

// The menu bar of the main window: File, View and Help. The menus keep no state of their own:
// update() shows the preset, the selected tab and the Advanced switch as they are.
class ShellMenus final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ShellMenus)

public:
    struct Commands {
        std::function<void()> openSettings;
        std::function<void()> factoryReset;
        std::function<void()> quit;
        std::function<void()> selectDefaultView;
        std::function<void()> selectSmallView;
        std::function<void()> toggleAdvanced;
        std::function<void()> showSupportGroup; // null: the build names no support group
        std::function<void()> openManual;       // null: the build names no web site
        std::function<void()> contactAuthor;    // null: the build names no contact address
        std::function<void()> checkForUpdates;
        std::function<void()> showAbout;
    };

    struct ViewState {
        MainViewPresetState preset = MainViewPresetState::defaultView;
        bool isTableTabSelected = true;
        bool advancedMode = false;
    };

    // `supportGroupTitle` is the title of the support-group item.
    ShellMenus(QMenuBar *menuBar, Commands commands, const QString &supportGroupTitle,
               QObject *parent = nullptr);

    void update(const ViewState &state);

    // The actions by object name: "settingsAction", "factoryResetAction", "quitAction",
    // "defaultViewAction", "smallViewAction", "advancedAction", "supportGroupAction",
    // "manualAction", "contactAction", "checkForUpdatesAction", "aboutAction".
    QAction *action(const char *objectName) const;

    // Quits when `key` is Quit's shortcut and Quit is enabled; true if it did. Keys typed in any
    // window of the program come here, also those read off X for a window behind a sheet.
    bool quitOnKey(QKeyCombination key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *add(QMenu *menu, const char *objectName, const QString &text,
                 const std::function<void()> &command);

    QMenuBar *m_menuBar;
    QAction *m_defaultView = nullptr;
    QAction *m_smallView = nullptr;
    QAction *m_advanced = nullptr;
    QAction *m_quit = nullptr;
    ViewState m_state;
};

} // namespace varnello
