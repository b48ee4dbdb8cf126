#pragma once

#include <QObject>
#include <QString>

class QMainWindow;

namespace varnello {

class AppSettingsStore;
class ElidedLabel;

// Tells the operator what went wrong with the settings file, one line each in the main window's
// status bar and the same line once on the console:
// - the file found at start could not be read, so the program began from the defaults: for the
//   whole run;
// - the settings cannot be saved (full disk, read-only folder): while saves fail, gone when one
//   succeeds.
// Both may show at once, one above the other. A line too long for the window is cut with "…" (it
// starts with what it means for the operator, so that part stays in view) and its tooltip holds
// the whole line. A child of the window, so it ends with it.
class SettingsNotices final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsNotices)

public:
    static constexpr QLatin1StringView loadLabelName{"settingsLoadNotice"};
    static constexpr QLatin1StringView saveLabelName{"settingsSaveNotice"};

    SettingsNotices(AppSettingsStore &store, QMainWindow &window);

private:
    struct Line {
        ElidedLabel *label = nullptr;
        QString logged;
    };
    void update();
    static void show(Line &line, const QString &text);

    AppSettingsStore &m_store;
    QMainWindow &m_window;
    Line m_load;
    Line m_save;
};

} // namespace varnello
