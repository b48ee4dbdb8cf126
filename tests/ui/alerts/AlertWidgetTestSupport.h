#pragma once

// Finding the alert panels' widgets by name, and their pictures in the build folder.

#include <QCoreApplication>
#include <QTest>
#include <QWidget>

namespace varnello::test {

template <typename T> T *child(QWidget &parent, const QString &name)
{
    T *found = parent.findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

// Once the layouts have caught up with the last texts.
inline void savePicture(QWidget &widget, const QString &name)
{
    QTest::qWait(50);
    QVERIFY(widget.grab().save(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name));
}

} // namespace varnello::test
