#include "ShellMenus.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

namespace varnello {

ShellMenus::ShellMenus(QMenuBar *menuBar, Commands commands, const QString &supportGroupTitle,
                       QObject *parent)
    : QObject(parent), m_menuBar(menuBar)
{
    QMenu *file = menuBar->addMenu(QStringLiteral("&File"));
    add(file, "settingsAction", QStringLiteral("Settings\u2026"), commands.openSettings)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    file->addSeparator();
    add(file, "factoryResetAction", QStringLiteral("Factory Reset\u2026"), commands.factoryReset);
    file->addSeparator();
    m_quit = add(file, "quitAction", QStringLiteral("Quit"), commands.quit);
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quit->setMenuRole(QAction::QuitRole);
    // The shortcut of a menu item only reaches the main window, and not while a sheet blocks it:
    // Ctrl+Q is taken from every window of the program here.
    QCoreApplication::instance()->installEventFilter(this);

    QMenu *view = menuBar->addMenu(QStringLiteral("&View"));
    m_defaultView =
        add(view, "defaultViewAction", QStringLiteral("Default View"), commands.selectDefaultView);
    m_smallView =
        add(view, "smallViewAction", QStringLiteral("Small View"), commands.selectSmallView);
    view->addSeparator();
    m_advanced = add(view, "advancedAction", QStringLiteral("Advanced"), commands.toggleAdvanced);
    for (QAction *toggle : {m_defaultView, m_smallView, m_advanced})
        toggle->setCheckable(true);

    QMenu *help = menuBar->addMenu(QStringLiteral("&Help"));
    add(help, "supportGroupAction", supportGroupTitle, commands.showSupportGroup);
    add(help, "manualAction", QStringLiteral("Varnello Manual"), commands.openManual);
    add(help, "contactAction", QStringLiteral("Contact the Author\u2026"), commands.contactAuthor);
    help->addSeparator();
    add(help, "checkForUpdatesAction", QStringLiteral("Check for Updates\u2026"),
        commands.checkForUpdates);
    help->addSeparator();
    add(help, "aboutAction", QStringLiteral("About Varnello"), commands.showAbout)
        ->setMenuRole(QAction::AboutRole);
    update({});
}

bool ShellMenus::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress &&
        quitOnKey(static_cast<QKeyEvent *>(event)->keyCombination()))
        return true;
    return QObject::eventFilter(watched, event);
}

bool ShellMenus::quitOnKey(QKeyCombination key)
{
    if (!m_quit->isEnabled() || QKeySequence(key) != m_quit->shortcut())
        return false;
    m_quit->trigger();
    return true;
}

QAction *ShellMenus::add(QMenu *menu, const char *objectName, const QString &text,
                         const std::function<void()> &command)
{
    QAction *action = menu->addAction(text);
    action->setObjectName(QLatin1String(objectName));
    // An item whose service this build lacks stays visible, disabled.
    action->setEnabled(bool(command));
    if (command) {
        connect(action, &QAction::triggered, this, [this, command] {
            command();
            // A click on a toggle that is already on leaves it on.
            update(m_state);
        });
    }
    return action;
}

QAction *ShellMenus::action(const char *objectName) const
{
    return m_menuBar->findChild<QAction *>(QLatin1String(objectName));
}

void ShellMenus::update(const ViewState &state)
{
    // The checks always show the state, also after a click on an item that is already on.
    m_defaultView->setChecked(state.preset == MainViewPresetState::defaultView);
    m_smallView->setChecked(state.preset == MainViewPresetState::smallView);
    m_defaultView->setEnabled(state.isTableTabSelected);
    m_smallView->setEnabled(state.isTableTabSelected);
    m_advanced->setChecked(state.advancedMode);
    m_state = state;
}

} // namespace varnello
