// Takes the README's pictures: starts the program's window exactly as the program does
// (VarnelloApp) on a real X display, lets it log in to a fake node, and saves what the X
// server shows: the window with spots, the console, and the sheet about a CC Cluster node.
//
//   varnello_screenshots --node-port P --ccc-port Q --out DIR
//   varnello_screenshots --node-port P --out DIR --window-only NAME
//
// Run it with a throwaway HOME (tools/screenshot.sh does): it writes its settings there.
// --window-only saves just NAME.png, the window maximised, and NAME-small-view.png, for pictures of
// what the window shows about its settings file (prepared in that HOME by the caller).

#include "AlertStore.h"
#include "AppSettingsStore.h"
#include "ClusterConnection.h"
#include "ContentView.h"
#include "MainWindow.h"
#include "MainWindowHostState.h"
#include "SettingsKeys.h"
#include "SheetPresenter.h"
#include "UpstreamFilterWarningView.h"
#include "VarnelloApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <functional>

using namespace varnello;

namespace {

constexpr int stepTimeoutMs = 20000;

// Runs `then` once `condition` holds (polled), or fails the run after the time-out.
void when(std::function<bool()> condition, std::function<void()> then, const char *what)
{
    auto *poll = new QTimer(qApp);
    auto *clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, qApp, [=] {
        if (condition()) {
            poll->deleteLater();
            delete clock;
            then();
        } else if (clock->elapsed() > stepTimeoutMs) {
            std::fprintf(stderr, "screenshots: timed out waiting for %s\n", what);
            QCoreApplication::exit(1);
        }
    });
    poll->start(100);
}

void after(int ms, std::function<void()> then)
{
    QTimer::singleShot(ms, qApp, std::move(then));
}

bool save(QWidget &window, const QString &path)
{
    const QRect frame = window.frameGeometry();
    const QPixmap picture =
        window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const bool ok = picture.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

// Waits `ms` with the event loop running, so that shown windows are drawn.
void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool saveShown(QWidget *window, const QString &path)
{
    if (!window) {
        std::fprintf(stderr, "screenshots: nothing shown for %s\n", qPrintable(path));
        return false;
    }
    settle(600);
    return save(*window, path);
}

// The popovers and sheets, where they open over the window on this screen.
bool savePanels(VarnelloApp &host, const QDir &folder)
{
    MainWindow &window = host.window();
    ContentView &view = host.view();
    bool ok = true;
    // As wide as the screen, so that the Filters button sits at the screen's right edge.
    const QRect normal = window.geometry();
    window.setGeometry(window.screen()->availableGeometry().adjusted(0, 0, 0, -120));
    settle(500);
    for (const char *button : {"filtersButton", "rbnButton"}) {
        if (auto *b = window.findChild<QAbstractButton *>(QString::fromLatin1(button)))
            b->click();
        settle(300);
        QWidget *popover = QApplication::activePopupWidget();
        const QString name = QString::fromLatin1(button).replace(QStringLiteral("Button"),
                                                                 QStringLiteral("-popover"));
        ok &= saveShown(popover, folder.filePath(name + QStringLiteral(".png")));
        const QPixmap screen = window.screen()->grabWindow(0);
        ok &= screen.save(folder.filePath(name + QStringLiteral("-on-screen.png")));
        if (popover)
            popover->hide();
    }
    window.setGeometry(normal);
    settle(500);
    const auto saveSheet = [&](const QString &name) {
        settle(300);
        ok &= saveShown(window.presenter().currentDialog(), folder.filePath(name));
        if (QDialog *sheet = window.presenter().currentDialog())
            sheet->reject();
        settle(300);
    };
    view.openAlertEditor(0);
    settle(300);
    // Populate over the editor, without its first-time explanation.
    AppSettingsStore::shared().setBool(SettingsKeys::clubLogPopulateExplanationDismissed, true);
    view.openClubLogAlertSheet();
    settle(300);
    if (QDialog *editor = window.presenter().currentDialog()) {
        ok &= saveShown(editor->findChild<QDialog *>(QStringLiteral("clubLogPopulateSheet")),
                        folder.filePath(QStringLiteral("populate-from-club-log.png")));
    }
    view.closeClubLogAlertSheet();
    saveSheet(QStringLiteral("alert-editor.png"));
    view.openCustomSpotterEntitySheet();
    saveSheet(QStringLiteral("allowed-spotter-entities.png"));
    view.openCustomInfoFilterSheet();
    saveSheet(QStringLiteral("blocked-words.png"));
    view.openNewSlotAlertSheet();
    settle(300);
    view.showNewSlotClubLogConfiguration();
    ok &= saveShown(window.findChild<QDialog *>(QStringLiteral("newSlotAlertSheet")),
                    folder.filePath(QStringLiteral("new-slot-form.png")));
    view.cancelNewSlotAlertSheet();
    settle(300);
    {
        QStringList lines;
        for (int i = 1; i <= 60; ++i)
            lines.append(
                QStringLiteral("filter%1 accept/spots on hf/cw and not by_zone 14,15,16").arg(i));
        UpstreamFilterWarningView warning(lines, {}, &window);
        warning.open();
        ok &= saveShown(&warning, folder.filePath(QStringLiteral("upstream-filters-60.png")));
        warning.hide();
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnello"));
    QCommandLineParser parser;
    QCommandLineOption nodePort(QStringLiteral("node-port"), QStringLiteral("DXSpider node port"),
                                QStringLiteral("port"));
    QCommandLineOption cccPort(QStringLiteral("ccc-port"), QStringLiteral("CC Cluster node port"),
                               QStringLiteral("port"));
    QCommandLineOption out(QStringLiteral("out"), QStringLiteral("folder for the pictures"),
                           QStringLiteral("folder"));
    QCommandLineOption windowOnly(QStringLiteral("window-only"),
                                  QStringLiteral("save only the main window, as NAME.png"),
                                  QStringLiteral("name"));
    parser.addOptions({nodePort, cccPort, out, windowOnly});
    parser.process(app);
    const QDir folder(parser.value(out));

    AppSettingsStore &settings = AppSettingsStore::shared();
    settings.setString(SettingsKeys::clusterHost, QStringLiteral("127.0.0.1"));
    settings.setString(SettingsKeys::clusterPort, parser.value(nodePort));
    settings.setString(SettingsKeys::clusterCallsign, QStringLiteral("N0CALL"));
    settings.setBool(SettingsKeys::backupClusterEnabled, false);
    settings.setBool(SettingsKeys::autoConnectOnStartup, true);

    VarnelloApp host;
    // Two alerts with their highlight colours, so the pictures show alert rows and the sidebar.
    // Each names the entities it is for (ADIF numbers of the fake node's calls): the sidebar
    // sums up an alert without any as "Not configured", whatever its bands and modes.
    {
        AlertStore &alerts = host.view().alertStore();
        QList<SpotAlertConfiguration> list = alerts.loadAlertConfigurations();
        list[0].name = QStringLiteral("20 m CW");
        list[0].selectedEntityADIFNumbers = {339, 242}; // Japan, Iceland
        list[0].selectedBands = {QStringLiteral("20m")};
        list[0].selectedModes = {SpotType::cw};
        list[1].name = QStringLiteral("Pacific");
        list[1].selectedEntityADIFNumbers = {150, 170, 110}; // Australia, New Zealand, Hawaii
        list[1].selectedBands = {QStringLiteral("10m"), QStringLiteral("12m"),
                                 QStringLiteral("15m")};
        list[1].playSound = true;
        alerts.storeAlertConfigurations(list);
        alerts.saveAlertEnabledStates({true, true, false, false, false});
    }
    MainWindow &window = host.window();
    window.setGeometry(40, 40, 1000, 640);
    host.show();
    ClusterConnection &cluster = host.cluster();
    const auto click = [&window](const char *name) {
        if (auto *button = window.findChild<QAbstractButton *>(QString::fromLatin1(name)))
            button->click();
    };

    bool ok = true;
    if (parser.isSet(windowOnly)) {
        const QString name = parser.value(windowOnly);
        window.showMaximized();
        when([&] { return cluster.isLoggedIn() && cluster.spots().size() >= 20; },
             [&, name] {
                 after(1500, [&, name] {
                     ok &= save(window, folder.filePath(name + QStringLiteral(".png")));
                     host.hostState().selectSmallView();
                     after(1500, [&, name] {
                         ok &= save(window,
                                    folder.filePath(name + QStringLiteral("-small-view.png")));
                         QCoreApplication::exit(ok ? 0 : 1);
                     });
                 });
             },
             "the login and the recent spots");
        return app.exec();
    }
    when([&] { return cluster.isLoggedIn() && cluster.spots().size() >= 40; },
         [&] {
             after(1500, [&] {
                 ok &= save(window, folder.filePath(QStringLiteral("main-window.png")));
                 host.view().setAlertSidebarIsVisible(true);
                 after(800, [&] {
                     ok &= save(window, folder.filePath(QStringLiteral("alerts.png")));
                     host.view().setAlertSidebarIsVisible(false);
                     click("tabConsole");
                     after(800, [&] {
                         ok &= save(window, folder.filePath(QStringLiteral("console.png")));
                         click("tabSpots");
                         ok &= savePanels(host, folder);
                         settings.setString(SettingsKeys::clusterPort, parser.value(cccPort));
                         host.view().manualDisconnect();
                         host.view().connect(ConnectionOrigin::manual);
                         when([&] { return window.presenter().currentDialog() != nullptr; },
                              [&] {
                                  after(800, [&] {
                                      ok &= save(window, folder.filePath(
                                                             QStringLiteral("warning-sheet.png")));
                                      QCoreApplication::exit(ok ? 0 : 1);
                                  });
                              },
                              "the CC Cluster sheet");
                     });
                 });
             });
         },
         "the login and the recent spots");
    return app.exec();
}
