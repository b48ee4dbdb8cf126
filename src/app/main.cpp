#include "AppPaths.h"
#include "DesktopEntry.h"
#include "InstanceChannel.h"
#include "LaunchDiag.h"
#include "PrivateFiles.h"
#include "SettingsAlertPresenter.h"
#include "SingleInstanceGuard.h"
#include "TerminationSignals.h"
#include "VarnelloApp.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnello"));
    QApplication::setApplicationVersion(QStringLiteral(VARNELLO_VERSION));
    // The window's class (X11) is the application name and its app id (Wayland) the desktop
    // entry's name: both lead the task switcher to the installed entry's name and icon.
    QApplication::setDesktopFileName(varnello::DesktopEntry::id());
    // The main window's close ends the program; the hidden Settings window must not keep it alive.
    QApplication::setQuitOnLastWindowClosed(false);

    // Each copy keeps the whole settings document in memory and writes it back whole, so a second
    // copy would undo the first's changes (and log in with the same callsign): the second one
    // brings the first to the front instead, before it reads a setting or opens a socket.
    const std::optional<QString> folder = varnello::AppPaths::dataFolder();
    if (folder)
        varnello::PrivateFiles::ensureFolder(*folder);
    varnello::LocalInstanceChannel instance(folder.value_or(QString()));
    QObject::connect(&instance, &varnello::LocalInstanceChannel::socketPathMovedAside, &instance,
                     [](const QString &path, const QString &movedTo) {
                         qCWarning(launchDiag,
                                   "something else had the hand-over socket's name %s; "
                                   "renamed it %s",
                                   qUtf8Printable(path), qUtf8Printable(movedTo));
                     });
    {
        varnello::MessageBoxAlertPresenter alerts;
        if (varnello::SingleInstanceGuard(instance, alerts).claim() ==
            varnello::SingleInstanceGuard::Start::leave)
            return 0;
    }

    // Before the program is built: a signal that comes meanwhile waits for the loop.
    varnello::TerminationSignals termination;

    varnello::VarnelloApp varnello;
    // Ending the session (or Ctrl+C) saves what a quit saves, such as a frame or column width
    // still waiting to be saved, but no sheet or dialog can hold the program up.
    QObject::connect(&termination, &varnello::TerminationSignals::terminationRequested, &varnello,
                     &varnello::VarnelloApp::endSession);
    QObject::connect(&instance, &varnello::InstanceChannel::raiseRequested, &varnello,
                     &varnello::VarnelloApp::raiseMainWindow);
    varnello.show();
    return app.exec();
}
