#include "AppSettingsStore.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Varnello"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNELLO_VERSION));
    // Loads settings.json (writing the defaults on a first run) before anything else reads it.
    varnello::AppSettingsStore::shared();
    return app.exec();
}
