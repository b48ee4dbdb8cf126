#include "VarnelloApp.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnello"));
    QApplication::setApplicationVersion(QStringLiteral(VARNELLO_VERSION));
    // The main window's close ends the program; the hidden Settings window must not keep it alive.
    QApplication::setQuitOnLastWindowClosed(false);

    varnello::VarnelloApp varnello;
    varnello.show();
    return app.exec();
}
