#include "SettingsNotices.h"

#include "AppSettingsStore.h"
#include "ElidedLabel.h"
#include "LaunchDiag.h"

#include <QMainWindow>
#include <QStatusBar>
#include <QVBoxLayout>

namespace varnello {

SettingsNotices::SettingsNotices(AppSettingsStore &store, QMainWindow &window)
    : QObject(&window), m_store(store), m_window(window)
{
    // The lines name a folder of any length: they give way to the window's width, never widen it.
    auto *lines = new QWidget;
    lines->setObjectName(QStringLiteral("settingsNotices"));
    lines->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *layout = new QVBoxLayout(lines);
    // In line with the bars above, and clear of the window's bottom edge.
    layout->setContentsMargins(7, 0, 7, 3);
    layout->setSpacing(0);
    for (Line *line : {&m_load, &m_save}) {
        line->label = new ElidedLabel;
        line->label->setObjectName(line == &m_load ? loadLabelName : saveLabelName);
        line->label->hide();
        layout->addWidget(line->label);
    }
    QStatusBar *bar = m_window.statusBar();
    bar->setSizeGripEnabled(false);
    bar->addWidget(lines, 1);
    bar->hide();
    connect(&m_store, &AppSettingsStore::saveFailureChanged, this, &SettingsNotices::update);
    update(); // loading, and the save at load, happened before the window
}

void SettingsNotices::update()
{
    const auto &loadFailure = m_store.loadFailure();
    const auto &saveFailure = m_store.saveFailure();
    show(m_load, loadFailure ? loadFailure->description() : QString());
    show(m_save, saveFailure ? saveFailure->description() : QString());
    m_window.statusBar()->setVisible(loadFailure || saveFailure);
}

void SettingsNotices::show(Line &line, const QString &text)
{
    if (text != line.logged && !text.isEmpty())
        qCWarning(launchDiag, "%s", qUtf8Printable(text));
    line.logged = text;
    line.label->setTextAndToolTip(text);
    line.label->setVisible(!text.isEmpty());
}

} // namespace varnello
