#include "ClubLogSettingsSection.h"

#include "AppSettingsStore.h"
#include "SettingsLayout.h"
#include "StoredControls.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QUrlQuery>
#include <QVBoxLayout>

namespace varnello {

ClubLogSettingsSection::ClubLogSettingsSection(AppSettingsStore &settings, OpenUrl openUrl,
                                               QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("clubLogSection"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *section = SettingsLayout::section(QStringLiteral("Club Log Account"),
                                            QStringLiteral("clubLogAccount"));
    outer->addWidget(section);
    outer->addStretch();

    auto *form = new QFormLayout(section);
    form->setContentsMargins(12, 8, 12, 12);
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(10);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);

    auto *callsign = SettingsLayout::lineEdit(QStringLiteral("clubLogCallsignField"), 240);
    auto *email = SettingsLayout::lineEdit(QStringLiteral("clubLogEmailField"), 240);
    auto *password = SettingsLayout::lineEdit(QStringLiteral("clubLogPasswordField"), 240);
    password->setEchoMode(QLineEdit::Password);
    new StoredLineEdit(callsign, settings, SettingsKeys::clubLogCallsign);
    new StoredLineEdit(email, settings, SettingsKeys::clubLogEmail);
    new StoredLineEdit(password, settings, SettingsKeys::clubLogAppPassword);
    form->addRow(SettingsLayout::fieldLabel(QStringLiteral("Callsign")), callsign);
    form->addRow(SettingsLayout::fieldLabel(QStringLiteral("Email address")), email);
    form->addRow(SettingsLayout::fieldLabel(QStringLiteral("Application password")), password);

    auto *link = new QLabel;
    link->setObjectName(QStringLiteral("clubLogPasswordLink"));
    link->setTextFormat(Qt::RichText);
    link->setText(QStringLiteral("<a href=\"%1\">Obtain a Club Log application password</a>")
                      .arg(applicationPasswordPage().toString(QUrl::FullyEncoded)));
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(link, &QLabel::linkActivated, this, [openUrl = std::move(openUrl)](const QString &) {
        if (openUrl)
            openUrl(applicationPasswordPage());
    });
    form->addRow(link);
}

QUrl ClubLogSettingsSection::applicationPasswordPage()
{
    QUrl url(QStringLiteral("https://clublog.org/edituser.php"));
    url.setQuery(QStringLiteral("tab=7"));
    return url;
}

} // namespace varnello
