#pragma once

#include <QGroupBox>

namespace varnello {

class AppSettingsStore;

// How often the program looks for a new version, and "Check Now".
class UpdateSettingsSection final : public QGroupBox {
    Q_OBJECT

public:
    static constexpr QLatin1StringView checkForUpdatesNotification{"VarnelloCheckForUpdates"};

    explicit UpdateSettingsSection(AppSettingsStore &settings, QWidget *parent = nullptr);

    // Asks the window hosts for a user-initiated update check.
    static void checkNow();
};

} // namespace varnello
