// The whole program as it starts: a temporary home whose settings ask for the automatic
// connection to a fake node, the main window with its menus, the Settings window; and as it ends
// with the session.
#include "AppPaths.h"
#include "AppSettingsStore.h"
#include "BackgroundSheet.h"
#include "ClusterConnection.h"
#include "ContentView.h"
#include "FakeClusterNode.h"
#include "GridDXCCDatabase.h"
#include "HttpStub.h"
#include "MainWindow.h"
#include "MainWindowHostState.h"
#include "SettingsWindow.h"
#include "SheetPresenter.h"
#include "ShellMenus.h"
#include "TerminationSignals.h"
#include "VarnelloApp.h"
#include "VarnelloStartupCoordinator.h"
#include "WindowFrame.h"
#include "WindowManagerClose.h"

#include <QAbstractButton>
#include <QAction>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QScopeGuard>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdlib>
#include <map>

#if defined(VARNELLO_HAVE_XCB) && QT_CONFIG(xcb)
#define VARNELLO_X_ROW 1
#include <sys/prctl.h>
#include <xcb/xcb.h>
#endif

using namespace varnello;
using namespace varnello::test;

Q_DECLARE_METATYPE(varnello::SheetPresenter::Presentation)

namespace {

CTYFileManager::Dependencies filesFrom(const HttpStub &site)
{
    CTYFileManager::Dependencies files;
    files.endpoints = CTYFileManager::Endpoints::withBases(site.baseUrl(), site.baseUrl());
    return files;
}

int visibleWindows()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return static_cast<int>(std::count_if(
        windows.begin(), windows.end(), [](const QWidget *window) { return window->isVisible(); }));
}

QString spotLine(const QString &call, int minute)
{
    return QStringLiteral("DX de W1AW:      14025.0  %1        CW 599                 12%2Z")
        .arg(call)
        .arg(minute, 2, 10, QLatin1Char('0'));
}

#ifdef VARNELLO_X_ROW
// Makes `requests` on an X connection of its own, as another client (a window manager, a key
// injector) does, so that the X server marks the events it sends as sent; true if X took them.
bool asAnotherClient(const std::function<bool(xcb_connection_t *)> &requests)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const bool sent = !xcb_connection_has_error(connection) && requests(connection);
    xcb_disconnect(connection);
    return sent;
}

bool taken(xcb_connection_t *connection, xcb_void_cookie_t request)
{
    xcb_generic_error_t *error = xcb_request_check(connection, request);
    std::free(error);
    return !error;
}

// An input event sent to `window` on the first screen, as X would deliver it there.
template <typename Event>
bool sendInput(xcb_connection_t *connection, WId window, Event &event)
{
    event.root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    event.event = xcb_window_t(window);
    event.same_screen = 1;
    return taken(connection, xcb_send_event_checked(connection, 0, event.event,
                                                    XCB_EVENT_MASK_NO_EVENT,
                                                    reinterpret_cast<const char *>(&event)));
}

// The window manager's close of `window` as a window manager sends it.
bool sendDeleteWindow(WId window)
{
    return asAnotherClient([window](xcb_connection_t *connection) {
        const auto atom = [connection](const char *name) {
            xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
                connection, xcb_intern_atom(connection, 0, quint16(qstrlen(name)), name), nullptr);
            const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
            std::free(reply);
            return atom;
        };
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = xcb_window_t(window);
        event.type = atom("WM_PROTOCOLS");
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        return taken(connection,
                     xcb_send_event_checked(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                                            reinterpret_cast<const char *>(&event)));
    });
}

// Chooses the keyboard's layouts by their XKB names as a desktop's keyboard settings do: through
// the X keyboard extension, which tells no client in the core protocol's way.
bool setLayouts(const QString &layouts)
{
    const QStringList arguments{QStringLiteral("-layout"), layouts};
    return QProcess::execute(QStringLiteral("setxkbmap"), arguments) == 0;
}

// Key presses (keycode and X's modifier bits) as X delivers them to `window`, which has the
// keyboard.
bool sendKeys(WId window, const QList<std::pair<quint8, quint16>> &keys)
{
    return asAnotherClient([window, &keys](xcb_connection_t *connection) {
        bool sent = true;
        for (const auto &[keycode, state] : keys) {
            xcb_key_press_event_t event{};
            event.response_type = XCB_KEY_PRESS;
            event.detail = keycode;
            event.state = state;
            sent = sent && sendInput(connection, window, event);
        }
        return sent;
    });
}

// The windows a property of the root window names on the X server `display` (the program's own
// unless given), as a window manager sets them.
QList<WId> rootWindows(const char *property, const QByteArray &display = {})
{
    QList<WId> windows;
    xcb_connection_t *connection =
        xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    if (!xcb_connection_has_error(connection)) {
        xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, quint16(qstrlen(property)), property),
            nullptr);
        xcb_get_property_reply_t *value = xcb_get_property_reply(
            connection,
            xcb_get_property(
                connection, 0, xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root,
                atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE), XCB_ATOM_WINDOW, 0, 1024),
            nullptr);
        const auto *ids =
            value ? static_cast<const xcb_window_t *>(xcb_get_property_value(value)) : nullptr;
        for (int i = 0; ids && i < xcb_get_property_value_length(value) / 4; ++i)
            windows.append(ids[i]);
        std::free(value);
        std::free(atom);
    }
    xcb_disconnect(connection);
    return windows;
}

// Runs the current row again in a copy of this test on an X server of its own (Xvfb, without a
// window manager unless asked for: then openbox), since the offscreen platform has no X
// connection.
void runRowUnderX(bool withWindowManager = false)
{
    QProcess server;
    // The server takes a free display and names it on its output. Without a socket file (the
    // abstract socket serves) and ended with this test, it leaves nothing behind.
    server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    server.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp"), QStringLiteral("-nolisten"), QStringLiteral("unix")});
    const auto stop = qScopeGuard([&server] {
        server.terminate();
        server.waitForFinished(10000);
    });
    QDeadlineTimer deadline(20000);
    while (!server.canReadLine() && server.waitForReadyRead(int(deadline.remainingTime())))
        ;
    QVERIFY2(server.canReadLine(),
             qPrintable(server.errorString() + server.readAllStandardError()));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"),
                       ':' + QString::fromLatin1(server.readLine()).trimmed());
    QProcess windowManager;
    const auto stopWindowManager = qScopeGuard([&windowManager] {
        windowManager.terminate();
        windowManager.waitForFinished(10000);
    });
    if (withWindowManager) {
        windowManager.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        windowManager.setProcessEnvironment(environment);
        const QByteArray display = environment.value(QStringLiteral("DISPLAY")).toLatin1();
        // Started again when it finds the server not yet ready for it, as on a loaded machine.
        const auto runs = [&] {
            return !rootWindows("_NET_SUPPORTING_WM_CHECK", display).isEmpty();
        };
        for (QDeadlineTimer ready(60000); !runs() && !ready.hasExpired();) {
            if (windowManager.state() == QProcess::NotRunning)
                windowManager.start(QStringLiteral("openbox"), {});
            QTest::qWait(50);
        }
        QVERIFY2(runs(), qPrintable(windowManager.errorString()));
    }
    QProcess copy;
    copy.setProcessEnvironment(environment);
    copy.setProcessChannelMode(QProcess::MergedChannels);
    const QByteArray function = QTest::currentTestFunction(), tag = QTest::currentDataTag();
    copy.start(QCoreApplication::applicationFilePath(),
               {QString::fromLatin1(function + ':' + tag)});
    QVERIFY(copy.waitForFinished(120000));
    const QByteArray output = copy.readAll();
    const bool passed = copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0 &&
                        output.contains("PASS   : TestVarnelloApp::" + function + '(' + tag + ')');
    if (!passed) // whole: a failure's message would be cut short
        std::fwrite(output.constData(), 1, size_t(output.size()), stderr);
    QVERIFY2(passed, "the copy under X failed (its output is above)");
}
#endif

} // namespace

#ifdef VARNELLO_X_ROW
namespace {

// Another program's window, given the keyboard; the program ends with the connection.
using Connection = std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t *)>;

Connection focusedOtherProgram()
{
    Connection connection(xcb_connect(nullptr, nullptr), xcb_disconnect);
    xcb_connection_t *c = connection.get();
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 300, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(c, window);
    // Once the window manager has put it on the screen.
    if (!QTest::qWaitFor([&] {
            return taken(c, xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_POINTER_ROOT, window,
                                                        XCB_CURRENT_TIME));
        }))
        connection.reset();
    return connection;
}

// A click of the first button inside `window` as X delivers it.
bool sendClick(WId window)
{
    return asAnotherClient([window](xcb_connection_t *connection) {
        bool sent = true;
        for (const quint8 type : {XCB_BUTTON_PRESS, XCB_BUTTON_RELEASE}) {
            xcb_button_press_event_t event{};
            event.response_type = type;
            event.detail = 1;
            event.event_x = event.event_y = 20;
            event.state = type == XCB_BUTTON_RELEASE ? XCB_BUTTON_MASK_1 : 0;
            sent = sent && sendInput(connection, window, event);
        }
        return sent;
    });
}

} // namespace
#endif

class TestVarnelloApp : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    std::unique_ptr<AppPaths::Override> m_paths;

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_home.isValid());
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral(".config")).toUtf8());
        m_paths = std::make_unique<AppPaths::Override>(
            m_home.filePath(QStringLiteral(".local/share/Varnello")));
    }

    void startup_connectsToTheNodeAndShowsItsSpots()
    {
        FakeClusterNode node;
        node.setKind(FakeClusterNode::Kind::DXSpider);
        HttpStub dataFilesSite; // answers 404: no data file is ever newer
        QVERIFY(dataFilesSite.listen());
        {
            // The operator's settings from an earlier run.
            AppSettingsStore earlier(AppPaths::dataFolder());
            earlier.setBool(SettingsKeys::autoConnectOnStartup, true);
            earlier.setString(SettingsKeys::clusterHost, QStringLiteral("127.0.0.1"));
            earlier.setString(SettingsKeys::clusterPort, QString::number(node.port()));
            earlier.setString(SettingsKeys::clusterCallsign, QStringLiteral("N0CALL"));
            earlier.setBool(SettingsKeys::backupClusterEnabled, false);
            earlier.setString(SettingsKeys::VarnelloMainWindowFrame,
                              QStringLiteral("{{60, 50}, {1000, 700}}"));
        }
        VarnelloApp app({.dataFiles = filesFrom(dataFilesSite)});
        MainWindow &window = app.window();
        QVERIFY(!window.isVisible());
        app.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Varnello"));
        QVERIFY(!window.windowIcon().pixmap(32, 32).isNull());
        // The default preset keeps its own size, wider than the 800 x 800 offscreen screen: the
        // saved place moves in to the screen's top-left corner, below room for a title bar.
        QCOMPARE(window.geometry().topLeft(), QPoint(8, 40));

        QTRY_VERIFY_WITH_TIMEOUT(app.cluster().isLoggedIn(), 20000);
        QVERIFY(node.hasReceived(QStringLiteral("N0CALL")));
        for (int i = 0; i < 5; ++i)
            node.sendLine(spotLine(QStringLiteral("K%1ABC").arg(i + 1), i));
        auto *table = window.findChild<QTableView *>();
        QVERIFY(table);
        QTRY_COMPARE_WITH_TIMEOUT(table->model()->rowCount(), 5, 10000);

        // The View menu follows the tabs: no presets while the console shows.
        QAction *defaultView = app.menus().action("defaultViewAction");
        QAction *advanced = app.menus().action("advancedAction");
        QVERIFY(defaultView->isEnabled() && defaultView->isChecked());
        window.findChild<QAbstractButton *>(QStringLiteral("tabConsole"))->click();
        QTRY_VERIFY(!defaultView->isEnabled());
        QVERIFY(!app.menus().action("smallViewAction")->isEnabled());
        QVERIFY(advanced->isEnabled());
        advanced->trigger();
        QVERIFY(AppSettingsStore::shared().boolValue(SettingsKeys::advancedMode));
        QVERIFY(advanced->isChecked());
        window.findChild<QAbstractButton *>(QStringLiteral("tabSpots"))->click();
        QTRY_VERIFY(defaultView->isEnabled());
        defaultView->trigger(); // already on: stays on
        QVERIFY(defaultView->isChecked());

        // A build without the maker's services offers none of them.
        for (const char *name : {"manualAction", "contactAction", "supportGroupAction"})
            QVERIFY2(!app.menus().action(name)->isEnabled(), name);
        QVERIFY(app.menus().action("checkForUpdatesAction")->isEnabled());
        auto *help =
            qobject_cast<QMenu *>(app.menus().action("aboutAction")->associatedObjects().value(0));
        QVERIFY(help);
        help->popup(window.geometry().topLeft());
        QVERIFY(QTest::qWaitForWindowExposed(help));
        help->grab().save(QStringLiteral("help-menu.png")); // a picture to look at
        help->hide();

        app.menus().action("settingsAction")->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(&app.settingsWindow()));
        QCOMPARE(app.settingsWindow().windowTitle(), QStringLiteral("Settings"));
        // Over the main window, moved only where needed to stay inside the screen.
        QVERIFY(app.settingsWindow().geometry().contains(window.geometry().center()));
        QVERIFY(app.settingsWindow().screen()->availableGeometry().contains(
            app.settingsWindow().frameGeometry()));
        app.settingsWindow().close();
        QVERIFY(!app.settingsWindow().isVisible());

        // The frame is saved after the start and on every move.
        QTRY_COMPARE(
            AppSettingsStore::shared().string(SettingsKeys::VarnelloMainWindowFrame),
            QStringLiteral("{{8, 40}, {%1, %2}}").arg(window.width()).arg(window.height()));
        QVERIFY(app.coordinator().hasStarted());
        QCOMPARE(GridDXCCDatabase::shared().tableLoadCount(), 0); // loaded only when searched
    }

    void frameCheck_showsAWindowNobodyShowed()
    {
        AppSettingsStore &settings = AppSettingsStore::shared();
        settings.setBool(SettingsKeys::autoConnectOnStartup, false);
        settings.setString(SettingsKeys::VarnelloMainWindowFrame, QString());
        HttpStub dataFilesSite;
        QVERIFY(dataFilesSite.listen());
        VarnelloApp app({.dataFiles = filesFrom(dataFilesSite)});
        QTest::qWait(VarnelloApp::frameCheckDelayMs / 2);
        QVERIFY(!app.window().isVisible());
        // Nobody showed the window: the check 0.75 s after start does.
        QTRY_VERIFY(app.window().isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(&app.window()));
        // With no saved frame the first size fits the screen with room for the window's frame,
        // so the bottom bars are in view on a small screen (the offscreen one is 800 x 800); it
        // is never narrower than the window allows.
        const QRect available = app.window().screen()->availableGeometry();
        QVERIFY(app.window().height() + 48 <= available.height());
        QVERIFY(app.window().width() <=
                std::max(app.window().minimumWidth(), available.width() - 16));
        app.window().setGeometry(120, 90, 1010, 790); // as a window manager would place it
        QTRY_COMPARE(settings.string(SettingsKeys::VarnelloMainWindowFrame),
                     QStringLiteral("{{120, 90}, {1010, 790}}"));
    }

    // Whatever the operator has open, even a dialog running a loop of its own or a sheet that
    // refuses to close, the session's end and Quit (Ctrl+Q from any window, however the main
    // window behind a sheet was brought forward; the window manager's close of the main window or
    // of the unsupported-node sheet) end the program at once, leave it unanswered, and save what
    // waited to be saved. What is not a quit leaves the program running until a signal ends it.
    void terminationSignal_endsTheProgramWhateverDialogIsOpen_data()
    {
        // Menu items, node sheets, or else the first alert's editor; all opened before it ends.
        QTest::addColumn<QByteArray>("opens");
        QTest::addColumn<QByteArray>("ends"); // a signal, or a way to quit
        QTest::addColumn<int>("leftOpen");    // windows still shown after a way that is no quit
        const auto row = [](const char *name, const char *opens, const char *ends, int left = 0) {
            QTest::newRow(name) << QByteArray(opens) << QByteArray(ends) << left;
        };
        row("About, in its own loop, SIGTERM", "aboutAction", "SIGTERM");
        row("Factory Reset alert, SIGINT", "factoryResetAction", "SIGINT");
        row("Settings window, SIGTERM", "settingsAction", "SIGTERM");
        row("alert editor sheet, SIGINT", "alertEditor", "SIGINT");
        row("unsupported-node sheet, Ctrl+Q", "unsupportedNode", "Ctrl+Q");
        row("unsupported-node sheet, the window manager closes the main window", "unsupportedNode",
            "window manager");
        row("unsupported-node sheet, the window manager closes the sheet", "unsupportedNode",
            "sheet's close");
        row("Settings window, Ctrl+Q", "settingsAction", "Ctrl+Q");
        row("upstream-filter sheet, Ctrl+Q once a second start raised the program",
            "upstreamFilters", "second start, Ctrl+Q");
        // Its close answers No, as Escape does.
        row("upstream-filter sheet, the window manager closes the sheet", "upstreamFilters",
            "sheet's close", 1);
        // Q without Ctrl is a letter, in a callsign such as 9Q1A. Typed where the focus is once
        // the window is activated: the sheet over the main window does not take the keyboard
        // from Settings, nor do keys typed into the main window behind it answer it or reach it.
        row("main window, q and Shift+Q typed", "", "typing", 1);
        row("unsupported-node sheet, q and Shift+Q typed in the Settings window",
            "unsupportedNode settingsAction", "typing", 3);
        row("upstream-filter sheet, sh/dx 5 and Return typed into the main window",
            "upstreamFilters", "typing", 2);
#ifdef VARNELLO_X_ROW
        // As X delivers it, to the window whose id the program watches.
        row("unsupported-node sheet, an X window manager closes Settings, then the main window",
            "unsupportedNode", "X");
        // Read off X, where Qt drops every key for the window; the letters as the keyboard is
        // laid out at that moment, in the layout in use: AZERTY chosen as the program runs, then
        // the second of two layouts.
        row("unsupported-node sheet, Ctrl+Q once the main window is activated", "unsupportedNode",
            "X fr 1, Ctrl+Q");
        row("unsupported-node sheet, Ctrl+Q in the French layout of us,fr", "unsupportedNode",
            "X us,fr 2, Ctrl+Q");
        row("unsupported-node sheet, Ctrl+Q in the US layout of fr,us", "unsupportedNode",
            "X fr,us 2, Ctrl+Q");
#endif
    }

    void terminationSignal_endsTheProgramWhateverDialogIsOpen()
    {
        QFETCH(QByteArray, opens);
        QFETCH(QByteArray, ends);
        QFETCH(int, leftOpen);
#ifdef VARNELLO_X_ROW
        if (ends.startsWith('X') && QGuiApplication::platformName() != QLatin1String("xcb"))
            return runRowUnderX();
#endif
        AppSettingsStore &settings = AppSettingsStore::shared();
        settings.setBool(SettingsKeys::autoConnectOnStartup, false);
        settings.setString(SettingsKeys::clusterHost, QStringLiteral("127.0.0.1"));
        FakeClusterNode node;
        if (opens.contains("unsupportedNode"))
            node.setKind(FakeClusterNode::Kind::Other); // refused once its prompt is found
        node.setReply(QStringLiteral("stat/us"), {QStringLiteral("Want RBN Spots : No")});
        node.setReply(QStringLiteral("sh/filter"), {QStringLiteral("filter1 accept on hf/cw")});
        HttpStub dataFilesSite;
        QVERIFY(dataFilesSite.listen());
        VarnelloApp app({.dataFiles = filesFrom(dataFilesSite)});
        app.show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.window()));
        QTest::qWait(VarnelloApp::frameCheckDelayMs);
        QTRY_VERIFY(!settings.hasPendingSave());
        app.window().move(app.window().pos() + QPoint(9, 7));
        QTRY_VERIFY(settings.hasPendingSave());
        QString frame;
        TerminationSignals termination;
        connect(&termination, &TerminationSignals::terminationRequested, &app,
                &VarnelloApp::endSession);

        const QList<QByteArray> opened = opens.isEmpty() ? QList<QByteArray>() : opens.split(' ');
        QTimer::singleShot(0, &app, [&] {
            for (const QByteArray &what : opened) {
                if (QAction *item = app.menus().action(what.constData()))
                    item->trigger();
                else if (what == "unsupportedNode" || what == "upstreamFilters")
                    app.cluster().connect(QStringLiteral("127.0.0.1"), node.port(),
                                          QStringLiteral("N0CALL"), {}, ClusterNodeRole::primary,
                                          false, true, ConnectionOrigin::manual);
                else if (what == "alertEditor")
                    app.view().openAlertEditor(0);
            }
        });
        const std::map<QByteArray, int> signalNumbers{{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}};
        QElapsedTimer sinceEnd;
        QTimer signalOnceOpen; // also from within the dialog's own loop
        bool wentOn = leftOpen > 0;
        connect(&signalOnceOpen, &QTimer::timeout, &app, [&] {
            if (visibleWindows() != 1 + opened.size())
                return;
            signalOnceOpen.stop();
            // Moved while it is open, which is saved only once it has gone.
            app.window().move(app.window().pos() + QPoint(5, 3));
            frame = WindowFrame::toText(app.window().geometry());
            sinceEnd.start();
            QWidget *open = QApplication::activeModalWidget();
            if (!open)
                open = &app.settingsWindow();
            if (signalNumbers.count(ends)) {
                ::raise(signalNumbers.at(ends));
            } else if (ends == "Ctrl+Q") {
                QTest::keyClick(open, Qt::Key_Q, Qt::ControlModifier);
            } else if (ends == "window manager") {
                emit app.windowManagerClose().closeRequested();
            } else if (ends.endsWith(", Ctrl+Q")) {
                // As a click on the window or a second start would; the keys then go where the
                // focus is, on the platform's path.
                if (ends.startsWith("second start"))
                    app.raiseMainWindow();
                else
                    app.window().activateWindow();
                QTest::qWait(50);
#ifdef VARNELLO_X_ROW
                if (ends.startsWith('X')) {
                    // "X <layouts> <group in use, from 1>, Ctrl+Q": where the keys that type Q
                    // and A are and what X sends with them in that group.
                    const QList<QByteArray> words = ends.chopped(8).split(' ');
                    const QString layouts = QString::fromLatin1(words.at(1));
                    const int group = words.at(2).toInt() - 1;
                    const bool azerty = layouts.split(',').at(group) == QLatin1String("fr");
                    const quint8 q = azerty ? 38 : 24, a = azerty ? 24 : 38;
                    const quint16 in = quint16(group << 13), ctrl = in | 4;
                    QVERIFY(setLayouts(layouts));
                    // Ctrl+A, q and Shift+Q are no quit.
                    QVERIFY(
                        sendKeys(app.window().winId(), {{a, ctrl}, {q, in}, {q, quint16(in | 1)}}));
                    QTest::qWait(200);
                    QCOMPARE(visibleWindows(), 2);
                    sinceEnd.restart();
                    // Where the pointer is over a native child, X reports the key there.
                    QVERIFY(sendKeys(app.window().centralWidget()->winId(), {{q, ctrl}}));
                    return;
                }
#endif
                QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Q, Qt::ControlModifier);
            } else if (ends == "typing") {
                const bool settingsWindow = opens.contains("settings");
                const bool behindSheet = !settingsWindow && !opened.isEmpty();
                QWidget *in =
                    settingsWindow ? static_cast<QWidget *>(&app.settingsWindow()) : &app.window();
                auto *field =
                    in->findChild<QLineEdit *>(settingsWindow ? "callsignField" : "commandField");
                field->clear();
                // As a click into the field would.
                in->activateWindow();
                field->setFocus();
                QTest::qWait(50);
                QWindow *focus = QGuiApplication::focusWindow();
                for (const char key : behindSheet ? QByteArray("sh/dx 5") : QByteArray("9q1a"))
                    QTest::keyClick(focus, key);
                if (behindSheet)
                    QTest::keyClick(focus, Qt::Key_Return);
                else
                    QTest::keyClick(focus, Qt::Key_Q, Qt::ShiftModifier);
                wentOn = field->text().toUpper() == QLatin1String(behindSheet ? "" : "9Q1AQ");
#ifdef VARNELLO_X_ROW
            } else if (ends == "X") {
                // Settings, which the sheet does not block, closes alone.
                app.openSettings();
                QVERIFY(QTest::qWaitForWindowExposed(&app.settingsWindow()));
                QVERIFY(sendDeleteWindow(app.settingsWindow().winId()));
                QTRY_VERIFY(!app.settingsWindow().isVisible());
                QTest::qWait(100); // a close taken for the main window's has ended it by now
                QCOMPARE(visibleWindows(), 2);
                sinceEnd.restart();
                QVERIFY(sendDeleteWindow(app.window().winId()));
#endif
            } else {
                open->close();
            }
            if (leftOpen > 0) {
                wentOn = wentOn && QTest::qWaitFor([&] {
                             return app.window().isVisible() && visibleWindows() == leftOpen;
                         });
                sinceEnd.start();
                ::raise(SIGTERM);
            }
        });
        signalOnceOpen.start(10);
        QTimer::singleShot(10000, &app, [] { QCoreApplication::exit(1); }); // it did not end
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY2(sinceEnd.elapsed() < 2000, qPrintable(QString::number(sinceEnd.elapsed())));
        QCOMPARE(visibleWindows(), 0);
        // Put away, not cancelled; the sheet's answer would have restored the default node.
        QCOMPARE(app.view().alertEditorSession().has_value(), opens == "alertEditor");
        QCOMPARE(app.cluster().clusterNodeWarning().has_value(), opens.contains("unsupportedNode"));
        QCOMPARE(wentOn, leftOpen > 0);
        // The filter sheet's No; Yes would have cleared them on the node.
        QCOMPARE(app.cluster().upstreamFilterWarningLines().has_value(),
                 opens == "upstreamFilters" && ends != "sheet's close");
        QVERIFY(!node.hasReceived(QStringLiteral("clear/spots all")));
        QVERIFY(!node.hasReceived(QStringLiteral("sh/dx 5")));
        QVERIFY(!settings.boolValue(SettingsKeys::suppressUpstreamFilterWarning));
        QCOMPARE(settings.string(SettingsKeys::clusterHost), QStringLiteral("127.0.0.1"));
        QVERIFY(!settings.hasPendingSave());
        // On disk, and not wiped by a Factory Reset.
        QCOMPARE(
            AppSettingsStore(AppPaths::dataFolder()).string(SettingsKeys::VarnelloMainWindowFrame),
            frame);
    }

    // A sheet or alert the node brings while the operator types. Over the command field it takes
    // the keyboard but none of the line's keys, its Return nor the repeats of a held key, until
    // it has been on the screen for a moment. It leaves the keys to the Settings window, which
    // it does not block, and to another program, and asks for attention. A click on it, or the
    // moment over, and the keys are its own.
    void nodeSheet_keysTypedAsItComes_leaveItUnanswered_data()
    {
        using P = SheetPresenter::Presentation;
        QTest::addColumn<P>("sheet");
        QTest::addColumn<QByteArray>("typedIn");
        QTest::newRow("filter sheet, a line in the command field")
            << P::upstreamFilters << QByteArray("commandField");
        QTest::newRow("unsupported-node sheet, a line in the command field")
            << P::unsupportedNode << QByteArray("commandField");
#ifdef VARNELLO_X_ROW
        // The keyboard as X moves it.
        QTest::newRow("X: filter sheet, typing in Settings")
            << P::upstreamFilters << QByteArray("settings");
        QTest::newRow("X: reconnect alert, typing in Settings")
            << P::autoReconnect << QByteArray("settings");
        QTest::newRow("X: filter sheet, another program active")
            << P::upstreamFilters << QByteArray("otherProgram");
#endif
    }

    void nodeSheet_keysTypedAsItComes_leaveItUnanswered()
    {
        using P = SheetPresenter::Presentation;
        QFETCH(P, sheet);
        QFETCH(QByteArray, typedIn);
        const bool commandField = typedIn == "commandField";
#ifdef VARNELLO_X_ROW
        if (!commandField && QGuiApplication::platformName() != QLatin1String("xcb"))
            return runRowUnderX(true);
#endif
        AppSettingsStore &settings = AppSettingsStore::shared();
        settings.setBool(SettingsKeys::autoConnectOnStartup, false);
        FakeClusterNode node;
        if (sheet == P::unsupportedNode)
            node.setKind(FakeClusterNode::Kind::CCCluster);
        node.setReply(QStringLiteral("stat/us"), {QStringLiteral("Want RBN Spots : No")});
        if (sheet == P::upstreamFilters)
            node.setReply(QStringLiteral("sh/filter"), {QStringLiteral("filter1 accept on hf/cw")});
        HttpStub dataFilesSite;
        QVERIFY(dataFilesSite.listen());
        VarnelloApp app({.dataFiles = filesFrom(dataFilesSite)});
        app.show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.window()));
        const auto connectToNode = [&] {
            app.cluster().connect(QStringLiteral("127.0.0.1"), node.port(),
                                  QStringLiteral("N0CALL-3"), {}, ClusterNodeRole::primary, false,
                                  true, ConnectionOrigin::manual);
        };
        if (sheet == P::autoReconnect) {
            connectToNode();
            QTRY_VERIFY_WITH_TIMEOUT(app.cluster().isLoggedIn(), 20000);
        }

        QWidget *in = &app.window();
        auto *field = in->findChild<QLineEdit *>("commandField");
        if (typedIn == "settings") {
            app.openSettings();
            in = &app.settingsWindow();
            QVERIFY(QTest::qWaitForWindowExposed(in));
            in->findChild<QTabBar *>()->setCurrentIndex(1); // Club Log: no field of the login
            field = in->findChild<QLineEdit *>("clubLogCallsignField");
            field->clear();
        }
        const bool otherProgram = typedIn == "otherProgram";
#ifdef VARNELLO_X_ROW
        const Connection otherProgramWindow =
            otherProgram ? focusedOtherProgram() : Connection(nullptr, xcb_disconnect);
        QVERIFY(otherProgramWindow || !otherProgram);
#endif
        if (otherProgram) {
            QTRY_VERIFY(!QGuiApplication::focusWindow());
        } else {
            in->activateWindow();
            field->setFocus();
            QTRY_VERIFY(field->hasFocus() && in->isActiveWindow());
        }

        // Typed where the keyboard is, one key every 10 ms, as the node brings the sheet; the
        // last keys as soon as it is on the screen.
        SheetPresenter &presenter = app.window().presenter();
        const auto onScreen = [&] {
            return presenter.current() == sheet && presenter.currentDialog()->windowHandle() &&
                   presenter.currentDialog()->windowHandle()->isExposed();
        };
        const QByteArray line = commandField ? "sh/dx 5" : "9q1a";
        QString typed;
        QTimer typing;
        connect(&typing, &QTimer::timeout, &app, [&] {
            QWindow *focus = QGuiApplication::focusWindow();
            const bool last = onScreen();
            // Return in Settings is its OK, which closes it.
            for (const char key : last ? QByteArray(commandField ? "5\r " : "9q1")
                                       : line.mid(typed.size() % line.size(), 1)) {
                if (focus && key == '\r')
                    QTest::keyClick(focus, Qt::Key_Return);
                else if (focus)
                    QTest::keyClick(focus, key);
                if (key != '\r')
                    typed += QChar(key);
            }
            if (last)
                typing.stop();
        });
        typing.start(10);
        if (sheet == P::autoReconnect) {
            node.sendLine(QStringLiteral(
                "Reconnected as N0CALL-3 at 192.0.2.10, this instance is disconnected"));
            node.closeConnection();
        } else {
            connectToNode();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!typing.isActive(), 20000);
        QDialog *dialog = presenter.currentDialog();
        QWindow *sheetWindow = dialog->windowHandle();
        QTest::qWait(50);
        const auto unanswered = [&] {
            return presenter.currentDialog() == dialog &&
                   !node.hasReceived(QStringLiteral("clear/spots all"));
        };
        QVERIFY(unanswered());
        // Over the command field it has the keyboard; elsewhere the keys stayed where they went.
        QCOMPARE(QGuiApplication::focusWindow(), commandField   ? sheetWindow
                                                 : otherProgram ? nullptr
                                                                : in->windowHandle());
        if (typedIn == "settings") {
            QCOMPARE(field->text().toLower(), typed);
#ifdef VARNELLO_X_ROW
            const auto inFront = [&] {
                const QList<WId> order = rootWindows("_NET_CLIENT_LIST_STACKING"); // lowest first
                return order.indexOf(in->winId()) > order.indexOf(app.window().winId());
            };
            QTRY_VERIFY(inFront());
#endif
        }
        QVERIFY(!node.hasReceived(QString::fromLatin1(line)));

        const Qt::Key answer = sheet == P::upstreamFilters ? Qt::Key_Return : Qt::Key_Escape;
        if (commandField) {
            QTest::qWait(int(backgroundsheet::keyGrace.count()));
            // The same key held since: its repeats.
            QTest::simulateEvent(sheetWindow, true, answer, {}, {}, true);
            QTest::simulateEvent(sheetWindow, false, answer, {}, {}, true);
            QTest::qWait(50);
            QVERIFY(unanswered());
        } else {
#ifdef VARNELLO_X_ROW
            QVERIFY(sendClick(sheetWindow->winId()));
            QTRY_COMPARE(QGuiApplication::focusWindow(), sheetWindow);
#endif
        }
        QTest::keyClick(sheetWindow, answer);
        QTRY_VERIFY(presenter.currentDialog() != dialog);
        QTRY_COMPARE(node.hasReceived(QStringLiteral("clear/spots all")),
                     sheet == P::upstreamFilters);
    }
};

QTEST_MAIN(TestVarnelloApp)
#include "tst_VarnelloApp.moc"
