#include "AppSettingsStore.h"
#include "MainWindowHost.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnello"));
    QApplication::setApplicationVersion(QStringLiteral(VARNELLO_VERSION));

    // Loads settings.json (writing the defaults on a first run) before anything else reads it.
    varnello::AppSettingsStore::shared();

    varnello::MainWindowHost host;
    host.show();
    return app.exec();
}
