#include "AlertEditorSymbols.h"

#include "AlertPanelStyle.h"

#include <QApplication>
#include <QStyle>

namespace varnello {

QIcon alertEditorSymbol(QStringView name)
{
    struct Entry {
        const char *design;
        const char *theme;
        QStyle::StandardPixmap fallback;
    };
    static const Entry table[] = {
        {"magnifyingglass", "edit-find", QStyle::SP_FileDialogContentsView},
        {"xmark.circle.fill", "edit-clear", QStyle::SP_LineEditClearButton},
        {"trash", "edit-delete", QStyle::SP_TrashIcon},
        {"exclamationmark.triangle", "dialog-warning", QStyle::SP_MessageBoxWarning},
        {"exclamationmark.triangle.fill", "dialog-warning", QStyle::SP_MessageBoxWarning},
        {"checkmark.circle.fill", "emblem-ok", QStyle::SP_DialogApplyButton},
        {"person.crop.circle.badge.plus", "contact-new", QStyle::SP_FileDialogNewFolder},
    };
    for (const Entry &entry : table) {
        if (name == QLatin1String(entry.design))
            return QIcon::fromTheme(QString::fromLatin1(entry.theme),
                                    QApplication::style()->standardIcon(entry.fallback));
    }
    return alertstyle::symbol(name);
}

} // namespace varnello
