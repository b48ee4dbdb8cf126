#include "LoginItem.h"

#include "AtomicFile.h"
#include "DesktopEntry.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
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

// The program an Exec value starts: its first argument, after the desktop-file string escapes
// and then the Exec key's quoting. Nothing when there is none, or its quote is not closed.
std::optional<QString> execProgram(const QString &value)
{
    // The string escapes first; a backslash before anything else belongs to the quoting.
    QString line;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const qsizetype escape = value[i] == u'\\' && i + 1 < value.size()
                                     ? QStringView(u"sntr\\").indexOf(value[i + 1])
                                     : -1;
        if (escape < 0) {
            line += value[i];
            continue;
        }
        line += QStringView(u" \n\t\r\\")[escape];
        ++i;
    }
    line = line.trimmed();
    QString program;
    if (line.startsWith(u'"')) {
        qsizetype i = 1;
        for (; i < line.size() && line[i] != u'"'; ++i) {
            if (line[i] == u'\\' && i + 1 < line.size())
                ++i;
            program += line[i];
        }
        if (i == line.size())
            return std::nullopt;
    } else {
        program = line.section(u' ', 0, 0);
    }
    program.replace(QStringLiteral("%%"), QStringLiteral("%"));
    if (program.isEmpty())
        return std::nullopt;
    return program;
}

bool programExists(const QString &program)
{
    if (!program.contains(u'/'))
        return !QStandardPaths::findExecutable(program).isEmpty();
    const QFileInfo info(program);
    return info.isFile() && info.isExecutable();
}

// What the status needs of an entry's main group.
struct EntryKeys {
    // The desktop has switched the entry off while keeping the file: "Hidden=true", or GNOME's
    // "X-GNOME-Autostart-enabled=false". Blanks around "=" do not count.
    bool hidden = false;
    std::optional<QString> program;
};

EntryKeys readEntry(const QString &path)
{
    EntryKeys keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    // An autostart entry is a few hundred bytes; a huge file is not ours to read whole.
    const QByteArray text = file.read(64 * 1024);
    bool mainGroup = false;
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith('[')) {
            mainGroup = line.trimmed() == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!mainGroup || equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false"))
            keys.hidden = true;
        if (key == "Exec" && !keys.program)
            keys.program = execProgram(QString::fromUtf8(value));
    }
    return keys;
}

} // namespace

LoginItem::Status LoginItem::refreshedStatus(bool startAtLoginWanted)
{
    const Status current = status();
    if (current != Status::notFound || !startAtLoginWanted || registerItem())
        return current;
    return status();
}

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
    if (DesktopEntry::installedEntry(m_executablePath))
        m_iconName = DesktopEntry::id();
}

QString XdgAutostartLoginItem::entryPath() const
{
    return m_folder + QLatin1Char('/') + entryFileName;
}

LoginItem::Status XdgAutostartLoginItem::status() const
{
    const QFileInfo info(entryPath());
    if (!info.isFile())
        return Status::notRegistered;
    const EntryKeys keys = readEntry(info.filePath());
    if (keys.hidden)
        return Status::notRegistered;
    if (!keys.program || !programExists(*keys.program))
        return Status::notFound;
    return Status::enabled;
}

bool XdgAutostartLoginItem::hasRegistration() const
{
    const QFileInfo info(entryPath());
    return info.isFile() || info.isSymLink();
}

std::optional<QString> XdgAutostartLoginItem::registerItem()
{
    if (auto failure = makeFolder(m_folder))
        return failure;
    // An autostart entry is plainly readable; a file system that cannot say so still takes it.
    if (auto reason = AtomicFile::write(entryPath(), entryText(m_executablePath, m_iconName),
                                        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::ReadOther,
                                        AtomicFile::Mode::bestEffort))
        return QStringLiteral("The login item could not be written: %1.").arg(*reason);
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

QByteArray XdgAutostartLoginItem::entryText(const QString &executablePath, const QString &iconName)
{
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=Varnello\n"
                                  "Comment=DX cluster client\n"
                                  "Exec=");
    text += quotedExecArgument(executablePath);
    if (!iconName.isEmpty())
        text += QStringLiteral("\nIcon=") + iconName;
    text += QStringLiteral("\nTerminal=false\n"
                           "X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

} // namespace varnello
