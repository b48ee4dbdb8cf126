#pragma once

// The real main window on a ContentView whose connection talks to a FakeClusterNode.

#include "../../content/WindowStateKit.h"

#include "MainWindow.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace varnello::test {

struct MainWindowKit : WindowStateKit {
    std::unique_ptr<MainWindow> window;

    MainWindowKit() { window = std::make_unique<MainWindow>(*view); }

    bool showWindow()
    {
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowExposed(window.get());
    }

    template <typename T = QWidget> T *find(const QString &name) const
    {
        return window->findChild<T *>(name);
    }
    QString text(const QString &name) const
    {
        if (auto *button = find<QAbstractButton>(name))
            return button->text();
        if (auto *edit = find<QLineEdit>(name))
            return edit->text();
        return find<QLabel>(name) ? find<QLabel>(name)->text() : QString();
    }
};

} // namespace varnello::test
