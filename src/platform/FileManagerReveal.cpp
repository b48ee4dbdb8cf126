#include "FileManagerReveal.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QPointer>

namespace varnello {

FileManagerReveal::FileManagerReveal(OpenUrl openFolder, QDBusConnection bus, QObject *parent)
    : QObject(parent), m_openFolder(std::move(openFolder)), m_bus(std::move(bus))
{
}

void FileManagerReveal::reveal(const QString &filePath)
{
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(filePath).absolutePath());
    auto openFolder = [open = m_openFolder, folder] {
        if (open)
            open(folder);
    };
    if (!m_bus.isConnected()) {
        openFolder();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(filePath).toString(QUrl::FullyEncoded)} << QString();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [openFolder](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                if (w->isError())
                    openFolder();
            });
}

} // namespace varnello
