#pragma once

// Finding the alert panels' widgets by name, and their pictures in the build folder.

#include <QCoreApplication>
#include <QTest>
#include <QTextDocumentFragment>
#include <QWidget>

namespace varnello::test {

template <typename T> T *child(QWidget &parent, const QString &name)
{
    T *found = parent.findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

// The text a tooltip shows: rich text rendered, its invisible line breaks left out.
inline QString shownToolTip(const QString &tip)
{
    const QString shown =
        Qt::mightBeRichText(tip) ? QTextDocumentFragment::fromHtml(tip).toPlainText() : tip;
    return QString(shown).remove(QChar(0x200B));
}

// Once the layouts have caught up with the last texts.
inline void savePicture(QWidget &widget, const QString &name)
{
    QTest::qWait(50);
    QVERIFY(widget.grab().save(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name));
}

} // namespace varnello::test
