#include "HostHardware.h"

#include <QFile>
#include <sys/utsname.h>

namespace varnello::HostHardware {

QString architecture(const QString &machine)
{
    if (machine == QLatin1String("aarch64") || machine == QLatin1String("arm64"))
        return QStringLiteral("arm64");
    return QStringLiteral("x86_64");
}

QString currentMachine()
{
    utsname names{};
    if (uname(&names) != 0)
        return {};
    return QString::fromLocal8Bit(names.machine);
}

namespace {

// The file's text up to its first NUL (device-tree strings end with one), printable characters
// only, blanks folded, cut to the cap.
QString readName(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.read(4096);
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
        bytes.truncate(nul);
    QString text;
    for (const QChar c : QString::fromUtf8(bytes))
        text.append(c.isPrint() ? c : QChar(u' '));
    text = text.simplified();
    if (text.size() > maximumModelLength) {
        text.truncate(maximumModelLength);
        if (text.back().isHighSurrogate())
            text.chop(1);
        text = text.trimmed();
    }
    return text;
}

} // namespace

QString model(const QString &sysfsRoot)
{
    for (const char *relative : {"/class/dmi/id/product_name", "/firmware/devicetree/base/model"}) {
        const QString name = readName(sysfsRoot + QLatin1String(relative));
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("unknown");
}

} // namespace varnello::HostHardware
