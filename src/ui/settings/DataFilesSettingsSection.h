#pragma once

#include <QGroupBox>
#include <QString>
#include <optional>

class QLabel;
class QPushButton;
class QWidget;

namespace varnello {

class DataFilesSource;
class SettingsAlertPresenter;

// The country file and the LoTW activity list in use, with their download and "Use Bundled
// Copy" buttons. Everything shown is the data-file manager's state, so a download started
// elsewhere shows here too.
class DataFilesSettingsSection final : public QGroupBox {
    Q_OBJECT

public:
    DataFilesSettingsSection(DataFilesSource &files, SettingsAlertPresenter &alerts,
                             QWidget *parent = nullptr);

    struct StatusLines {
        QString first;
        std::optional<QString> second; // none: a hidden placeholder keeps the rows level
        bool operator==(const StatusLines &) const = default;
    };
    static StatusLines lotwStatusLines(const QString &description);

    void startCountryFileUpdate();
    void startLoTWActivityUpdate();
    void restoreBundledCountryFile();
    void restoreBundledLoTWActivityFile();

    const std::optional<QString> &countryFileError() const { return m_countryFileError; }
    const std::optional<QString> &lotwFileError() const { return m_lotwFileError; }

private:
    struct Column {
        QLabel *firstLine = nullptr;
        QLabel *secondLine = nullptr;
        QPushButton *update = nullptr;
        QWidget *progress = nullptr;
        QPushButton *useBundled = nullptr;
    };
    QWidget *buildColumn(Column &column, const QString &title, const QString &prefix);
    void refresh();
    void setCountryFileError(const QString &message);
    void setLoTWFileError(const QString &message);
    void presentAlerts();

    DataFilesSource &m_files;
    SettingsAlertPresenter &m_alerts;
    Column m_country;
    Column m_lotw;
    std::optional<QString> m_countryFileError;
    std::optional<QString> m_lotwFileError;
    bool m_countryAlertShown = false;
    bool m_lotwAlertShown = false;
};

} // namespace varnello
