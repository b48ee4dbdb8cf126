#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>

namespace varnello {

class AppSettingsStore;

// The Club Log account that the DXCC-chart lookups send: callsign, e-mail address and an
// application password, stored exactly as typed.
class ClubLogSettingsSection final : public QWidget {
    Q_OBJECT

public:
    using OpenUrl = std::function<bool(const QUrl &)>;

    ClubLogSettingsSection(AppSettingsStore &settings, OpenUrl openUrl, QWidget *parent = nullptr);

    // The Club Log page where application passwords are made.
    static QUrl applicationPasswordPage();
};

} // namespace varnello
