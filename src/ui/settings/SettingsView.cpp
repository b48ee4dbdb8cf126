#include "SettingsView.h"

#include "AppSettingsStore.h"
#include "ClubLogSettingsSection.h"
#include "ClusterNodesSettingsSection.h"
#include "DataFilesSettingsSection.h"
#include "DataFilesSource.h"
#include "LoginAndFeedsSettingsSection.h"
#include "LoginItem.h"
#include "SettingsAlertPresenter.h"
#include "SettingsConnectionLink.h"
#include "SettingsLayout.h"
#include "StoredControls.h"
#include "UpdateSettingsSection.h"
#include "UrlOpener.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace varnello {

// The real services, when the view builds them itself.
struct SettingsView::Owned {
    std::unique_ptr<ClusterConnectionLink> connection;
    std::unique_ptr<CTYFileManagerDataFiles> dataFiles;
    std::unique_ptr<XdgAutostartLoginItem> loginItem;
    std::unique_ptr<MessageBoxAlertPresenter> alerts;
    SettingsViewServices services() const
    {
        SettingsViewServices s;
        s.connection = connection.get();
        s.dataFiles = dataFiles.get();
        s.loginItem = loginItem.get();
        s.alerts = alerts.get();
        return s;
    }
};

QString SettingsView::label(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::standard:
        return QStringLiteral("Standard");
    case SettingsTab::clubLog:
        return QStringLiteral("Club Log");
    }
    return {};
}

std::optional<SettingsView::SettingsTab> SettingsView::settingsTab(const QString &label)
{
    for (SettingsTab tab : {SettingsTab::standard, SettingsTab::clubLog}) {
        if (SettingsView::label(tab) == label)
            return tab;
    }
    return std::nullopt;
}

SettingsView::SettingsView(SettingsViewServices services, QWidget *parent)
    : QWidget(parent), m_services(std::move(services)),
      m_settings(m_services.settings ? *m_services.settings : AppSettingsStore::shared())
{
    Q_ASSERT(m_services.connection && m_services.dataFiles && m_services.loginItem);
    if (!m_services.alerts) {
        m_owned = std::make_unique<Owned>();
        m_owned->alerts = std::make_unique<MessageBoxAlertPresenter>();
        m_services.alerts = m_owned->alerts.get();
    }
    build();
}

SettingsView::SettingsView(CTYFileManager &ctyFileManager, ClusterConnection &cluster,
                           QWidget *parent)
    : SettingsView(
          [&] {
              auto owned = std::make_unique<Owned>();
              owned->connection = std::make_unique<ClusterConnectionLink>(cluster);
              owned->dataFiles = std::make_unique<CTYFileManagerDataFiles>(ctyFileManager);
              owned->loginItem = std::make_unique<XdgAutostartLoginItem>();
              owned->alerts = std::make_unique<MessageBoxAlertPresenter>();
              return owned;
          }(),
          parent)
{
}

SettingsView::SettingsView(std::unique_ptr<Owned> owned, QWidget *parent)
    : QWidget(parent), m_owned(std::move(owned)), m_services(m_owned->services()),
      m_settings(AppSettingsStore::shared())
{
    build();
}

SettingsView::~SettingsView() = default;

void SettingsView::build()
{
    setObjectName(QStringLiteral("settingsView"));
    if (!m_services.openUrl)
        m_services.openUrl = [](const QUrl &url) { return UrlOpener::shared().open(url); };

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);

    m_tabs = new QTabBar;
    m_tabs->setObjectName(QStringLiteral("settingsTabs"));
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(false);
    for (SettingsTab tab : {SettingsTab::standard, SettingsTab::clubLog})
        m_tabs->addTab(label(tab));
    layout->addWidget(m_tabs, 0, Qt::AlignHCenter);

    m_pages = new QStackedWidget;
    m_pages->addWidget(buildStandardTab());
    m_pages->addWidget(buildClubLogTab());
    // The pages scroll, not the window: on a small screen the tabs and "OK" stay in reach.
    m_scroll = new QScrollArea;
    m_scroll->setObjectName(QStringLiteral("settingsScrollArea"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidget(m_pages);
    layout->addWidget(m_scroll, 1);

    auto *footer = new QHBoxLayout;
    footer->addStretch();
    m_okButton = new QPushButton(QStringLiteral("OK"));
    m_okButton->setObjectName(QStringLiteral("settingsOKButton"));
    m_okButton->setDefault(true);
    footer->addWidget(m_okButton);
    layout->addLayout(footer);

    connect(m_okButton, &QPushButton::clicked, this, &SettingsView::dismissRequested);
    // Escape closes the window whether or not a control has focus.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &SettingsView::dismissRequested);
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        m_pages->setCurrentIndex(index);
        m_scroll->ensureVisible(0, 0);
        if (index == static_cast<int>(SettingsTab::standard) && isVisible())
            standardTabAppeared();
    });
}

QWidget *SettingsView::buildStandardTab()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("standardTab"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    m_nodes = new ClusterNodesSettingsSection(m_settings, *m_services.connection);
    layout->addWidget(m_nodes);
    m_loginAndFeeds = new LoginAndFeedsSettingsSection(m_settings, *m_services.connection);
    layout->addWidget(m_loginAndFeeds);

    auto *loginItemSection = new QGroupBox;
    loginItemSection->setObjectName(QStringLiteral("startAtLoginSection"));
    auto *loginItemRow = new QHBoxLayout(loginItemSection);
    loginItemRow->setContentsMargins(12, 8, 12, 8);
    auto *startAtLogin = new QCheckBox(QStringLiteral("Start Varnello at login"));
    startAtLogin->setObjectName(QStringLiteral("startAtLoginCheckBox"));
    new StoredCheckBox(startAtLogin, m_settings, SettingsKeys::startVarnelloAtLogin,
                       [this](bool checked) { setStartAtLogin(checked); });
    loginItemRow->addWidget(startAtLogin);
    loginItemRow->addStretch();
    layout->addWidget(loginItemSection);

    layout->addWidget(new DataFilesSettingsSection(*m_services.dataFiles, *m_services.alerts));
    layout->addWidget(new UpdateSettingsSection(m_settings));
    layout->addStretch();
    return page;
}

QWidget *SettingsView::buildClubLogTab()
{
    auto *page = new ClubLogSettingsSection(m_settings, m_services.openUrl);
    page->setObjectName(QStringLiteral("clubLogTab"));
    return page;
}

SettingsView::SettingsTab SettingsView::selectedTab() const
{
    return m_tabs->currentIndex() == static_cast<int>(SettingsTab::clubLog) ? SettingsTab::clubLog
                                                                            : SettingsTab::standard;
}

void SettingsView::selectTab(SettingsTab tab)
{
    m_tabs->setCurrentIndex(static_cast<int>(tab));
}

void SettingsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous() && selectedTab() == SettingsTab::standard)
        standardTabAppeared();
}

void SettingsView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        m_loginAndFeeds->finishFeedEditing();
}

void SettingsView::standardTabAppeared()
{
    refreshLoginItemState();
    m_nodes->restoreBackupDefaults();
}

void SettingsView::setStartAtLogin(bool enabled)
{
    LoginItem &item = *m_services.loginItem;
    const bool previous = m_settings.boolValue(SettingsKeys::startVarnelloAtLogin);
    const std::optional<QString> failure = enabled ? item.registerItem() : item.unregisterItem();
    if (failure) {
        m_settings.setBool(SettingsKeys::startVarnelloAtLogin, previous);
        if (m_loginItemErrorMessage)
            return; // its alert is already up
        m_loginItemErrorMessage = *failure;
        SettingsAlert alert;
        alert.title = QStringLiteral("Unable to change login item");
        alert.message = *failure;
        m_services.alerts->present(window(), alert, [self = QPointer(this)](int) {
            if (self)
                self->m_loginItemErrorMessage.reset();
        });
        return;
    }
    m_settings.setBool(SettingsKeys::startVarnelloAtLogin, LoginItem::isOn(item.status()));
}

void SettingsView::refreshLoginItemState()
{
    const bool wanted = m_settings.boolValue(SettingsKeys::startVarnelloAtLogin);
    m_settings.setBool(SettingsKeys::startVarnelloAtLogin,
                       LoginItem::isOn(m_services.loginItem->refreshedStatus(wanted)));
}

} // namespace varnello
