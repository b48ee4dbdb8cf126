#include "DataFilesSettingsSection.h"

#include "DataFilesSource.h"
#include "SettingsAlertPresenter.h"
#include "SettingsLayout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnello {

namespace {
const QString latestActivitySeparator = QStringLiteral(" — latest activity ");
} // namespace

DataFilesSettingsSection::DataFilesSettingsSection(DataFilesSource &files,
                                                   SettingsAlertPresenter &alerts, QWidget *parent)
    : QGroupBox(QStringLiteral("Data Files"), parent), m_files(files), m_alerts(alerts)
{
    setObjectName(QStringLiteral("dataFilesSection"));
    auto *row = new QHBoxLayout(this);
    row->setSpacing(28);
    row->setContentsMargins(12, 8, 12, 8);
    row->addWidget(
        buildColumn(m_country, QStringLiteral("Country File"), QStringLiteral("country")), 1,
        Qt::AlignTop);
    row->addWidget(SettingsLayout::verticalDivider());
    row->addWidget(
        buildColumn(m_lotw, QStringLiteral("LoTW User Activity"), QStringLiteral("lotw")), 1,
        Qt::AlignTop);
    m_country.update->setText(QStringLiteral("Update CTY_WT.DAT"));

    connect(m_country.update, &QPushButton::clicked, this,
            &DataFilesSettingsSection::startCountryFileUpdate);
    connect(m_country.useBundled, &QPushButton::clicked, this,
            &DataFilesSettingsSection::restoreBundledCountryFile);
    connect(m_lotw.update, &QPushButton::clicked, this,
            &DataFilesSettingsSection::startLoTWActivityUpdate);
    connect(m_lotw.useBundled, &QPushButton::clicked, this,
            &DataFilesSettingsSection::restoreBundledLoTWActivityFile);
    connect(&files, &DataFilesSource::changed, this, &DataFilesSettingsSection::refresh);
    refresh();
}

QWidget *DataFilesSettingsSection::buildColumn(Column &column, const QString &title,
                                               const QString &prefix)
{
    auto *widget = new QWidget;
    auto *layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(SettingsLayout::columnTitle(title));

    auto *status = new QVBoxLayout;
    status->setSpacing(2);
    column.firstLine = SettingsLayout::secondaryText({});
    column.firstLine->setObjectName(prefix + QStringLiteral("StatusLine1"));
    column.firstLine->setWordWrap(true);
    column.secondLine = SettingsLayout::secondaryText({}, true);
    column.secondLine->setObjectName(prefix + QStringLiteral("StatusLine2"));
    column.secondLine->setWordWrap(true);
    status->addWidget(column.firstLine);
    status->addWidget(column.secondLine);
    layout->addLayout(status);

    auto *buttons = new QHBoxLayout;
    column.update = new QPushButton;
    column.update->setObjectName(prefix + QStringLiteral("UpdateButton"));
    column.update->setAutoDefault(false);
    buttons->addWidget(column.update);
    column.progress = new QWidget;
    column.progress->setObjectName(prefix + QStringLiteral("Progress"));
    auto *progressRow = new QHBoxLayout(column.progress);
    progressRow->setContentsMargins(0, 0, 0, 0);
    auto *spinner = new QProgressBar;
    spinner->setRange(0, 0); // busy, no figure
    spinner->setTextVisible(false);
    spinner->setFixedSize(32, 10);
    progressRow->addWidget(spinner);
    progressRow->addWidget(SettingsLayout::secondaryText(QStringLiteral("Downloading…")));
    buttons->addWidget(column.progress);
    buttons->addStretch();
    column.useBundled = new QPushButton(QStringLiteral("Use Bundled Copy"));
    column.useBundled->setObjectName(prefix + QStringLiteral("UseBundledButton"));
    column.useBundled->setAutoDefault(false);
    buttons->addWidget(column.useBundled);
    layout->addLayout(buttons);
    return widget;
}

DataFilesSettingsSection::StatusLines
DataFilesSettingsSection::lotwStatusLines(const QString &description)
{
    const qsizetype at = description.indexOf(latestActivitySeparator);
    if (at < 0)
        return {description, std::nullopt};
    return {description.left(at), QStringLiteral("Latest activity ") +
                                      description.mid(at + latestActivitySeparator.size())};
}

void DataFilesSettingsSection::refresh()
{
    const auto show = [](const Column &column, const StatusLines &lines, bool busy,
                         bool downloaded) {
        column.firstLine->setText(lines.first);
        // A blank line keeps its height when hidden, so both columns' buttons stay level.
        column.secondLine->setText(lines.second.value_or(QStringLiteral(" ")));
        QSizePolicy policy = column.secondLine->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        column.secondLine->setSizePolicy(policy);
        column.secondLine->setVisible(lines.second.has_value());
        column.update->setEnabled(!busy);
        column.progress->setVisible(busy);
        column.useBundled->setVisible(downloaded);
        column.useBundled->setEnabled(!busy);
    };
    using Source = DataFilesSource::FileSource;
    show(m_country, {m_files.installedDescription(), std::nullopt}, m_files.isUpdating(),
         m_files.source() == Source::downloaded);
    show(m_lotw, lotwStatusLines(m_files.lotwInstalledDescription()), m_files.isUpdatingLoTW(),
         m_files.lotwSource() == Source::downloaded && m_files.hasBundledLoTWActivityFile());
    m_lotw.update->setText(m_files.hasLoTWActivityFile()
                               ? QStringLiteral("Update LoTW Activity")
                               : QStringLiteral("Download LoTW Activity"));
}

void DataFilesSettingsSection::startCountryFileUpdate()
{
    m_files.updateCountryFile([self = QPointer(this)](const DataFilesSource::Failure &failure) {
        if (self && failure)
            self->setCountryFileError(*failure);
    });
}

void DataFilesSettingsSection::startLoTWActivityUpdate()
{
    m_files.updateLoTWActivity([self = QPointer(this)](const DataFilesSource::Failure &failure) {
        if (self && failure)
            self->setLoTWFileError(*failure);
    });
}

void DataFilesSettingsSection::restoreBundledCountryFile()
{
    if (const auto failure = m_files.useBundledCountryFile())
        setCountryFileError(*failure);
}

void DataFilesSettingsSection::restoreBundledLoTWActivityFile()
{
    if (const auto failure = m_files.useBundledLoTWActivityFile())
        setLoTWFileError(*failure);
}

void DataFilesSettingsSection::setCountryFileError(const QString &message)
{
    m_countryFileError = message;
    presentAlerts();
}

void DataFilesSettingsSection::setLoTWFileError(const QString &message)
{
    m_lotwFileError = message;
    presentAlerts();
}

void DataFilesSettingsSection::presentAlerts()
{
    using Error = std::optional<QString> DataFilesSettingsSection::*;
    const auto present = [this](Error error, bool DataFilesSettingsSection::*shown,
                                const QString &title, const QString &fallback) {
        if (!(this->*error) || this->*shown)
            return;
        this->*shown = true;
        SettingsAlert alert;
        alert.title = title;
        alert.message = (this->*error)->isEmpty() ? fallback : *(this->*error);
        // Any way of dismissing the alert clears its own error text, and only that one.
        m_alerts.present(window(), alert, [self = QPointer(this), error, shown](int) {
            if (!self)
                return;
            (self.data()->*error).reset();
            self.data()->*shown = false;
        });
    };
    present(&DataFilesSettingsSection::m_countryFileError,
            &DataFilesSettingsSection::m_countryAlertShown,
            QStringLiteral("Country file update failed"),
            QStringLiteral("The country file could not be updated."));
    present(&DataFilesSettingsSection::m_lotwFileError, &DataFilesSettingsSection::m_lotwAlertShown,
            QStringLiteral("LoTW activity update failed"),
            QStringLiteral("The LoTW activity file could not be updated."));
}

} // namespace varnello
