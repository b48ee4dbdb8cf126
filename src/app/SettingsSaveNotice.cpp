#include "SettingsSaveNotice.h"

#include "AppSettingsStore.h"
#include "LaunchDiag.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

namespace varnello {

SettingsSaveNotice::SettingsSaveNotice(AppSettingsStore &store, QMainWindow &window)
    : QObject(&window), m_store(store), m_window(window)
{
    m_label = new QLabel;
    m_label->setObjectName(labelName);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The line names a folder of any length: it must never widen the window.
    m_label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QStatusBar *bar = m_window.statusBar();
    bar->setSizeGripEnabled(false);
    bar->addWidget(m_label, 1);
    bar->hide();
    connect(&m_store, &AppSettingsStore::saveFailureChanged, this, &SettingsSaveNotice::update);
    update(); // the save at load may already have failed
}

void SettingsSaveNotice::update()
{
    const std::optional<SettingsSaveFailure> &failure = m_store.saveFailure();
    if (!failure) {
        m_logged.clear();
        m_window.statusBar()->hide();
        return;
    }
    const QString text = failure->description();
    if (text != m_logged) {
        qCWarning(launchDiag, "%s", qUtf8Printable(text));
        m_logged = text;
    }
    m_label->setText(text);
    m_label->setToolTip(text);
    m_window.statusBar()->show();
}

} // namespace varnello
