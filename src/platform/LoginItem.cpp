#include "LoginItem.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>

namespace varnello {

namespace {

// mkdir -p that keeps the system's reason for a failure (QDir::mkpath drops it).
std::optional<QString> makeFolder(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return std::nullopt;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath()) {
        if (auto failure = makeFolder(parent))
            return failure;
    }
    if (::mkdir(QFile::encodeName(info.absoluteFilePath()).constData(), 0700) == 0 ||
        (errno == EEXIST && QFileInfo(path).isDir()))
        return std::nullopt;
    return QStringLiteral("The folder “%1” could not be created: %2.")
        .arg(info.absoluteFilePath(), qt_error_string(errno));
}

bool isHiddenEntry(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // An autostart entry is a few hundred bytes; a huge file is not ours to read whole.
    const QByteArray text = file.read(64 * 1024);
    for (const QByteArray &line : text.split('\n')) {
        if (line.trimmed() == "Hidden=true")
            return true;
    }
    return false;
}

} // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem()
    : XdgAutostartLoginItem(
          QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
              QStringLiteral("/autostart"),
          QCoreApplication::applicationFilePath())
{
}

XdgAutostartLoginItem::XdgAutostartLoginItem(QString autostartFolder, QString executablePath)
    : m_folder(std::move(autostartFolder)), m_executablePath(std::move(executablePath))
{
}

QString XdgAutostartLoginItem::entryPath() const
{
    return m_folder + QLatin1Char('/') + entryFileName;
}

LoginItem::Status XdgAutostartLoginItem::status() const
{
    const QFileInfo info(entryPath());
    if (!info.isFile() || isHiddenEntry(info.filePath()))
        return Status::notRegistered;
    return Status::enabled;
}

std::optional<QString> XdgAutostartLoginItem::registerItem()
{
    if (auto failure = makeFolder(m_folder))
        return failure;
    QSaveFile file(entryPath());
    const auto failed = [&file] {
        return QStringLiteral("The login item could not be written: %1.").arg(file.errorString());
    };
    if (!file.open(QIODevice::WriteOnly))
        return failed();
    // QSaveFile gives a new file the umask's mode; an autostart entry is plainly readable.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    const QByteArray text = entryText(m_executablePath);
    if (file.write(text) != text.size() || !file.commit())
        return failed();
    return std::nullopt;
}

std::optional<QString> XdgAutostartLoginItem::unregisterItem()
{
    const QString path = entryPath();
    if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink())
        return std::nullopt;
    QFile file(path);
    if (!file.remove())
        return QStringLiteral("The login item could not be removed: %1.").arg(file.errorString());
    return std::nullopt;
}

QString XdgAutostartLoginItem::quotedExecArgument(const QString &argument)
{
    // Inside a quoted argument, ", `, $ and \ take a backslash; "%" is a field code unless
    // doubled.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    quoted += u'"';
    // The key's value is then a desktop-file string, whose own escapes come on top.
    QString escaped;
    for (const QChar c : quoted) {
        switch (c.unicode()) {
        case '\\':
            escaped += QStringLiteral("\\\\");
            break;
        case '\n':
            escaped += QStringLiteral("\\n");
            break;
        case '\t':
            escaped += QStringLiteral("\\t");
            break;
        case '\r':
            escaped += QStringLiteral("\\r");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QByteArray XdgAutostartLoginItem::entryText(const QString &executablePath)
{
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=Varnello\n"
                                  "Comment=DX cluster client\n"
                                  "Exec=");
    text += quotedExecArgument(executablePath);
    text += QStringLiteral("\nTerminal=false\n"
                           "X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

} // namespace varnello
