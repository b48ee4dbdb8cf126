#include "Icons.h"

#include <QFile>
#include <QString>

namespace varnello {

namespace {

struct IconMapping {
    QStringView symbol;
    QStringView themeName;
};

// Freedesktop icon names first, falling back to the drawings in icons/ (one per symbol).
constexpr IconMapping iconMappings[] = {
    {u"sidebar.left", u"sidebar-show"},
    {u"sidebar.right", u"sidebar-show-right"},
    {u"magnifyingglass", u"edit-find"},
    {u"xmark.circle.fill", u"edit-clear"},
    {u"gearshape", u"preferences-system"},
    {u"network.slash", u"network-offline"},
    {u"bell", u"preferences-system-notifications"},
    {u"bell.slash", u"notifications-disabled"},
    {u"terminal", u"utilities-terminal"},
    {u"antenna.radiowaves.left.and.right", u"network-wireless"},
    {u"wave.3.right", u"network-wireless"},
    {u"line.3.horizontal.decrease.circle", u"view-filter"},
};

} // namespace

QString themeIconName(QStringView name)
{
    for (const IconMapping &mapping : iconMappings) {
        if (mapping.symbol == name)
            return mapping.themeName.toString();
    }
    return {};
}

QIcon themedIcon(QStringView name)
{
    const QString themeName = themeIconName(name);
    if (themeName.isEmpty())
        return {};
    const QString fallbackPath =
        QStringLiteral(":/icons/") + name.toString() + QStringLiteral(".svg");
    const QIcon fallback(fallbackPath);
    return QIcon::fromTheme(themeName, fallback);
}

QIcon applicationIcon()
{
    return QIcon(QStringLiteral(":/icons/varnello.svg"));
}

} // namespace varnello
