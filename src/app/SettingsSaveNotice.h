#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QMainWindow;

namespace varnello {

class AppSettingsStore;

// Tells the operator that the settings cannot be saved (full disk, read-only folder): one line in
// the main window's status bar, and the same line once on the console. It stays while saves fail
// and goes away when one succeeds. A child of the window, so it ends with it.
class SettingsSaveNotice final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsSaveNotice)

public:
    static constexpr QLatin1StringView labelName{"settingsSaveNotice"};

    SettingsSaveNotice(AppSettingsStore &store, QMainWindow &window);

private:
    void update();

    AppSettingsStore &m_store;
    QMainWindow &m_window;
    QLabel *m_label = nullptr;
    QString m_logged;
};

} // namespace varnello
