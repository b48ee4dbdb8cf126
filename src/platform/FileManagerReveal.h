#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

namespace varnello {

// Shows a file in the desktop's file manager with the file selected
// (org.freedesktop.FileManager1.ShowItems on the session bus). Where no file manager answers,
// the file's folder is opened with the desktop's default handler instead.
class FileManagerReveal final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileManagerReveal)

public:
    using OpenUrl = std::function<bool(const QUrl &)>;

    // `openFolder` opens a folder URL (QDesktopServices::openUrl in the program).
    explicit FileManagerReveal(OpenUrl openFolder,
                               QDBusConnection bus = QDBusConnection::sessionBus(),
                               QObject *parent = nullptr);

    // Returns at once; the fallback, when needed, runs when the bus has answered.
    void reveal(const QString &filePath);

private:
    OpenUrl m_openFolder;
    QDBusConnection m_bus;
};

} // namespace varnello
