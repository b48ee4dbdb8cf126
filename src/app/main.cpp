#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Varnello"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNELLO_VERSION));
    return app.exec();
}
