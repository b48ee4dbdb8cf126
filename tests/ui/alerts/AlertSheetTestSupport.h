#pragma once

// Helpers of the alert sheet tests: a parent window, widget look-up by name and pictures in the
// build folder.

#include "../../content/ContentViewFixture.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <QWidget>

namespace varnello::test {

template <typename T> T *findNamed(const QWidget *root, const QString &name)
{
    T *widget = root->findChild<T *>(name);
    if (!widget)
        qWarning("no widget named %s", qPrintable(name));
    return widget;
}

// An offscreen grab of the widget, saved beside the test program for a person to look at.
inline void savePicture(QWidget *widget, const QString &name)
{
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/pictures");
    QDir().mkpath(folder);
    widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// The window the sheets are opened over.
struct SheetHost {
    QWidget window;
    SheetHost()
    {
        window.resize(1200, 900);
        window.show();
    }
};

// On its indicator: a check box wider than its text ignores clicks beside the text.
inline void clickBox(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

} // namespace varnello::test
