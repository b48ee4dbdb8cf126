#include "UpdateSettingsSection.h"

#include "AppSettingsStore.h"
#include "NotificationHub.h"
#include "SettingsLayout.h"
#include "StoredControls.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace varnello {

UpdateSettingsSection::UpdateSettingsSection(AppSettingsStore &settings, QWidget *parent)
    : QGroupBox(QStringLiteral("Updates"), parent)
{
    setObjectName(QStringLiteral("updatesSection"));
    auto *row = new QHBoxLayout(this);
    row->setSpacing(18);
    row->setContentsMargins(12, 8, 12, 8);
    row->addWidget(SettingsLayout::fieldLabel(QStringLiteral("Check for new versions")));
    QList<QPair<QCheckBox *, QString>> options;
    for (const char *option : {"disabled", "daily", "weekly"}) {
        auto *box = new QCheckBox(QString::fromLatin1(option));
        box->setObjectName(QStringLiteral("updateFrequency_") + QString::fromLatin1(option));
        row->addWidget(box);
        options.append({box, QString::fromLatin1(option)});
    }
    new StoredChoice(
        options, settings, SettingsKeys::updateCheckFrequency,
        [&settings](const QString &option) {
            settings.setString(SettingsKeys::updateCheckFrequency, option);
        },
        this);
    auto *check = new QPushButton(QStringLiteral("Check Now"));
    check->setObjectName(QStringLiteral("checkNowButton"));
    check->setAutoDefault(false);
    connect(check, &QPushButton::clicked, this, &UpdateSettingsSection::checkNow);
    row->addWidget(check);
    row->addStretch();
}

void UpdateSettingsSection::checkNow()
{
    NotificationHub::instance().post(QString(checkForUpdatesNotification));
}

} // namespace varnello
