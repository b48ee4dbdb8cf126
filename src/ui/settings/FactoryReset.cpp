#include "FactoryReset.h"

#include "AppSettingsStore.h"
#include "CTYFileManager.h"
#include "LoginItem.h"
#include "SettingsAlertPresenter.h"

#include <QCoreApplication>

namespace varnello {

FactoryReset::FactoryReset(Services services, QObject *parent)
    : QObject(parent), m_services(std::move(services))
{
    if (!m_services.loginItem) {
        m_ownedLoginItem = std::make_unique<XdgAutostartLoginItem>();
        m_services.loginItem = m_ownedLoginItem.get();
    }
    if (!m_services.settings)
        m_services.settings = &AppSettingsStore::shared();
    if (!m_services.alerts) {
        m_ownedAlerts = std::make_unique<MessageBoxAlertPresenter>();
        m_services.alerts = m_ownedAlerts.get();
    }
    if (!m_services.quit)
        m_services.quit = [] { QCoreApplication::quit(); };
}

FactoryReset::FactoryReset(CTYFileManager &ctyFileManager, QObject *parent)
    : FactoryReset(Services{nullptr,
                            [manager = &ctyFileManager]() -> std::optional<QString> {
                                if (const auto failure = manager->removeDownloadedFiles())
                                    return failure->description();
                                return std::nullopt;
                            },
                            nullptr,
                            nullptr,
                            {}},
                   parent)
{
}

FactoryReset::~FactoryReset() = default;

void FactoryReset::confirmFactoryReset(QWidget *window)
{
    m_window = window;
    SettingsAlert warning;
    warning.icon = QMessageBox::Warning;
    warning.title = QStringLiteral("Factory Reset Varnello?");
    warning.message = QStringLiteral(
        "This will return Varnello to its original settings and remove downloaded data files.\n\n"
        "Your cluster configuration, alerts, filters, window settings and all other preferences "
        "will be cleared. The copies of damaged settings files that Varnello kept will be "
        "removed too.\n\n"
        "Varnello will quit when the reset is complete. The next time you open it, it will "
        "behave like a new installation.");
    warning.buttons = {{QStringLiteral("Factory Reset"), QMessageBox::DestructiveRole},
                       {QStringLiteral("Cancel"), QMessageBox::RejectRole}};
    // One stray Return must not wipe every setting: the destructive button needs a click.
    warning.defaultButton = 1;
    m_services.alerts->present(window, warning, [self = QPointer(this)](int button) {
        if (self && button == 0)
            self->reset();
    });
}

void FactoryReset::reset()
{
    if (m_services.removeDownloadedFiles) {
        if (const auto failure = m_services.removeDownloadedFiles())
            return fail(*failure);
    }
    LoginItem &item = *m_services.loginItem;
    if (item.hasRegistration()) {
        if (const auto failure = item.unregisterItem())
            return fail(*failure);
    }
    // A settings document that could be neither cleared nor removed would come back at the next
    // start: that is a failed reset, and the program keeps running with its settings.
    if (const auto failure = m_services.settings->factoryReset())
        return fail(failure->description());
    m_services.quit();
}

void FactoryReset::fail(const QString &message)
{
    SettingsAlert alert;
    alert.icon = QMessageBox::Critical;
    alert.title = QStringLiteral("Factory Reset Failed");
    alert.message = message;
    alert.buttons = {{QStringLiteral("OK"), QMessageBox::AcceptRole}};
    m_services.alerts->present(m_window, alert, {});
}

} // namespace varnello
