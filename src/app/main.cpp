#include "AppSettingsStore.h"
#include "CTYFileManager.h"
#include "LaunchDiag.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Varnello"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNELLO_VERSION));

    // Loads settings.json (writing the defaults on a first run) before anything else reads it.
    varnello::AppSettingsStore::shared();

    // Loads the downloaded or built-in country file at once; the LoTW list is read later.
    varnello::CTYFileManager dataFiles;
    qCInfo(launchDiag, "Varnello %s started; country file: %s", VARNELLO_VERSION,
           qUtf8Printable(dataFiles.installedDescription()));

    return app.exec();
}
