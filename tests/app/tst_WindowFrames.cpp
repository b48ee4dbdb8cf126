#include "AppSettingsStore.h"
#include "MainWindowFrameKeeper.h"
#include "OffscreenScreens.h"
#include "SettingsWindowController.h"
#include "WindowFrame.h"

#include <QDialog>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace varnello;

namespace {
const QList<QRect> kOneScreen{QRect(0, 0, 1920, 1080)};
const QList<QRect> kTwoScreens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
// The offscreen platform's screens in this test, side by side.
const QList<QSize> kLaptopScreens{{1280, 800}, {1366, 768}};
// A main window cannot be made smaller than this.
constexpr QSize kMainMinimum{803, 450};
} // namespace

class TestWindowFrames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void frameText_roundTrips()
    {
        const QRect frame(100, 200, 1000, 800);
        QCOMPARE(WindowFrame::toText(frame), QStringLiteral("{{100, 200}, {1000, 800}}"));
        QCOMPARE(WindowFrame::fromText(WindowFrame::toText(frame)), frame);
        QCOMPARE(WindowFrame::fromText(u"{{-50, 10.6}, {1e3, 8E2}}"), QRect(-50, 11, 1000, 800));
        QCOMPARE(WindowFrame::fromText(u"{{1, 2}}"), QRect(1, 2, 0, 0));
        QCOMPARE(WindowFrame::fromText(u"not a frame"), QRect(0, 0, 0, 0));
    }

    void mainFrame_restoredOnlyWhenUsableAndOnScreen_data()
    {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<bool>("applied");
        QTest::addColumn<QString>("log");
        const QString restored = QStringLiteral("main frame restored={{100, 200}, {1000, 800}}");
        const QString rejected =
            QStringLiteral("main frame restore: saved frame invalid/offscreen");
        QTest::newRow("on screen") << "{{100, 200}, {1000, 800}}" << kOneScreen << true << restored;
        QTest::newRow("overlaps the second screen by a pixel: moved onto it")
            << "{{3199, 500}, {1000, 800}}" << kTwoScreens << true
            << "main frame restored={{2192, 216}, {1000, 800}}";
        QTest::newRow("on a monitor that is gone")
            << "{{2500, 100}, {1000, 800}}" << kOneScreen << false << rejected;
        QTest::newRow("empty") << "" << kOneScreen << false << "main frame restore: no saved frame";
        QTest::newRow("zero size") << "{{100, 200}, {0, 800}}" << kOneScreen << false << rejected;
        QTest::newRow("no numbers") << "garbage" << kOneScreen << false << rejected;
        QTest::newRow("far larger than its screen")
            << "{{0, 0}, {1e9, 1e9}}" << kOneScreen << true
            << "main frame restored={{8, 40}, {1904, 1032}}";
    }
    void mainFrame_restoredOnlyWhenUsableAndOnScreen()
    {
        QFETCH(QString, saved);
        QFETCH(QList<QRect>, screens);
        QFETCH(bool, applied);
        QFETCH(QString, log);
        AppSettingsStore settings(std::nullopt);
        settings.setString(SettingsKeys::VarnelloMainWindowFrame, saved);
        MainWindowFrameKeeper keeper(settings, [screens] { return screens; });
        QWidget window;
        window.setGeometry(10, 20, 640, 480);
        QTest::ignoreMessage(QtInfoMsg, qPrintable(log));
        QCOMPARE(keeper.restoreMainWindowFrame(&window), applied);
        // The log names the frame applied.
        QCOMPARE(window.geometry(),
                 applied ? WindowFrame::fromText(log.section(u'=', 1)) : QRect(10, 20, 640, 480));
    }

    void placement_whollyInsideTheScreenItOverlapsMost_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QRect>("expected"); // null: on no screen
        // A 1280 x 800 screen, and right of it a 1366 x 768 one above a 44-pixel panel. Each
        // leaves 8 pixels at the sides and bottom and 40 at the top for the window's frame.
        QTest::newRow("inside: as it was")
            << QRect(100, 100, 800, 500) << QSize(0, 0) << QRect(100, 100, 800, 500);
        QTest::newRow("past the right edge: moved in")
            << QRect(700, 300, 1000, 400) << QSize(0, 0) << QRect(272, 300, 1000, 400);
        QTest::newRow("above and left of the screen: moved in")
            << QRect(-200, -30, 1000, 600) << QSize(0, 0) << QRect(8, 40, 1000, 600);
        QTest::newRow("larger than the screen above the panel: shrunk")
            << QRect(1280, 25, 1920, 1050) << kMainMinimum << QRect(1288, 40, 1350, 676);
        QTest::newRow("only too tall: width kept")
            << QRect(1400, 100, 900, 900) << kMainMinimum << QRect(1400, 40, 900, 676);
        QTest::newRow("never below the minimum: top-left in view")
            << QRect(1300, 100, 1200, 900) << QSize(900, 700) << QRect(1300, 40, 1200, 700);
        QTest::newRow("across both: onto the screen it overlaps most")
            << QRect(900, 100, 1000, 500) << QSize(0, 0) << QRect(1288, 100, 1000, 500);
        QTest::newRow("on a monitor that is gone")
            << QRect(3000, 100, 800, 600) << QSize(0, 0) << QRect();
    }
    void placement_whollyInsideTheScreenItOverlapsMost()
    {
        QFETCH(QRect, frame);
        QFETCH(QSize, minimum);
        QFETCH(QRect, expected);
        const QList<QRect> screens{QRect(0, 0, 1280, 800), QRect(1280, 0, 1366, 724)};
        QCOMPARE(WindowFrame::placed(frame, screens, minimum).value_or(QRect()), expected);
    }

    // On the offscreen platform's own screens, shown as the program shows its window.
    void mainFrame_comesBackInsideItsLaptopScreen_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<bool>("maximised");
        QTest::newRow("1280 x 800, partly off") << 0 << "{{700, 300}, {1000, 700}}" << false;
        QTest::newRow("1280 x 800, oversize") << 0 << "{{0, 25}, {1920, 1050}}" << false;
        QTest::newRow("1280 x 800, maximised") << 0 << "{{60, 70}, {900, 500}}" << true;
        QTest::newRow("1366 x 768, partly off") << 1 << "{{1980, 300}, {1000, 700}}" << false;
        QTest::newRow("1366 x 768, oversize") << 1 << "{{1280, 25}, {1920, 1050}}" << false;
        QTest::newRow("1366 x 768, maximised") << 1 << "{{1340, 70}, {900, 500}}" << true;
    }
    void mainFrame_comesBackInsideItsLaptopScreen()
    {
        QFETCH(int, screen);
        QFETCH(QString, saved);
        QFETCH(bool, maximised);
        AppSettingsStore settings(std::nullopt);
        settings.setString(SettingsKeys::VarnelloMainWindowFrame, saved);
        settings.setBool(SettingsKeys::VarnelloMainWindowMaximized, maximised);
        MainWindowFrameKeeper keeper(settings);
        QWidget window;
        window.setWindowTitle(QStringLiteral("Varnello"));
        window.setMinimumSize(kMainMinimum);
        keeper.watch(&window);
        QVERIFY(keeper.restoreMainWindowFrame(&window));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QScreen *laptop = QGuiApplication::screens().at(screen);
        QCOMPARE(window.screen(), laptop);
        QCOMPARE(window.isMaximized(), maximised);
        const QRect normal = WindowFrame::fromText(saved);
        if (maximised) {
            window.showNormal(); // to the frame it had before, which fits as it was
            QTRY_COMPARE(window.geometry(), normal);
            QVERIFY(!settings.boolValue(SettingsKeys::VarnelloMainWindowMaximized));
        } else {
            QVERIFY(window.geometry() != normal);
        }
        QVERIFY(laptop->availableGeometry().contains(window.frameGeometry()));
        QVERIFY(window.width() >= kMainMinimum.width() && window.height() >= kMainMinimum.height());
    }

    void mainFrame_savedOnlyForTheMainWindow_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("withSheet");
        QTest::addColumn<bool>("saved");
        QTest::newRow("main window") << "Varnello" << int(Qt::Window) << false << true;
        QTest::newRow("Settings window") << "Settings" << int(Qt::Window) << false << false;
        QTest::newRow("tool panel") << "Varnello" << int(Qt::Tool) << false << false;
        QTest::newRow("showing a sheet") << "Varnello" << int(Qt::Window) << true << false;
        QTest::newRow("other inactive window") << "Other" << int(Qt::Window) << false << false;
    }
    void mainFrame_savedOnlyForTheMainWindow()
    {
        QFETCH(QString, title);
        QFETCH(int, type);
        QFETCH(bool, withSheet);
        QFETCH(bool, saved);
        AppSettingsStore settings(std::nullopt);
        MainWindowFrameKeeper keeper(settings, [] { return kOneScreen; });
        QWidget window(nullptr, Qt::WindowType(type));
        window.setWindowTitle(title);
        window.setGeometry(100, 200, 1000, 800);
        QDialog sheet(&window);
        sheet.setWindowModality(Qt::WindowModal);
        if (withSheet)
            sheet.show();
        keeper.saveMainWindowFrame(&window);
        QCOMPARE(settings.string(SettingsKeys::VarnelloMainWindowFrame),
                 saved ? QStringLiteral("{{100, 200}, {1000, 800}}") : QString());
    }

    void mainFrame_savedOnMoveResizeAndClose_onlyOnceShown()
    {
        AppSettingsStore settings(std::nullopt);
        MainWindowFrameKeeper keeper(settings, [] { return kOneScreen; });
        QWidget window;
        window.setWindowTitle(QStringLiteral("Varnello"));
        keeper.watch(&window);
        window.setGeometry(10, 20, 640, 480); // the placement before the first showing
        QTest::qWait(20);
        QCOMPARE(settings.string(SettingsKeys::VarnelloMainWindowFrame), QString());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setGeometry(30, 40, 700, 500);
        QTRY_COMPARE(settings.string(SettingsKeys::VarnelloMainWindowFrame),
                     QStringLiteral("{{30, 40}, {700, 500}}"));
        settings.setString(SettingsKeys::VarnelloMainWindowFrame, QString());
        window.close();
        QTRY_COMPARE(settings.string(SettingsKeys::VarnelloMainWindowFrame),
                     QStringLiteral("{{30, 40}, {700, 500}}"));
        // Maximised and then closed: the frame kept is the one to come back to.
        window.show();
        window.showMaximized();
        QTRY_VERIFY(window.width() > 700);
        QVERIFY(settings.boolValue(SettingsKeys::VarnelloMainWindowMaximized));
        window.close();
        QCOMPARE(settings.string(SettingsKeys::VarnelloMainWindowFrame),
                 QStringLiteral("{{30, 40}, {700, 500}}"));
    }

    void settingsFrame_restoredAtLeastFullSizeAndOnScreen_data()
    {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QRect>("expected"); // null: not restored, centred at the first showing
        QTest::newRow("500 x 300") << "{{100, 50}, {500, 300}}" << QRect(100, 50, 900, 800);
        QTest::newRow("larger kept") << "{{50, 40}, {1200, 900}}" << QRect(50, 40, 1200, 900);
        QTest::newRow("on a monitor that is gone") << "{{4000, 100}, {900, 800}}" << QRect();
        QTest::newRow("zero size") << "{{100, 50}, {0, 0}}" << QRect();
        QTest::newRow("none") << "" << QRect();
    }
    void settingsFrame_restoredAtLeastFullSizeAndOnScreen()
    {
        QFETCH(QString, saved);
        QFETCH(QRect, expected);
        AppSettingsStore settings(std::nullopt);
        settings.setString(SettingsKeys::VarnelloSettingsWindowFrame, saved);
        QWidget main;
        main.setWindowTitle(QStringLiteral("Varnello"));
        main.setGeometry(200, 100, 1000, 800);
        QWidget settingsWindow;
        settingsWindow.resize(900, 800);
        SettingsWindowController controller(&settingsWindow, settings, [] { return kTwoScreens; });
        QCOMPARE(controller.hasPositionedWindow(), !expected.isNull());
        if (!expected.isNull())
            QCOMPARE(settingsWindow.geometry(), expected);
        // Nothing is saved before the window is shown.
        QCOMPARE(settings.string(SettingsKeys::VarnelloSettingsWindowFrame), saved);

        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        controller.showSettingsWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&settingsWindow));
        QCOMPARE(settingsWindow.windowTitle(), QStringLiteral("Settings"));
        if (expected.isNull())
            QCOMPARE(settingsWindow.geometry().center(), main.geometry().center());
        else
            QCOMPARE(settingsWindow.geometry(), expected);
        settingsWindow.close();
        QVERIFY(!settingsWindow.isVisible());
        settingsWindow.move(300, 300);
        controller.showSettingsWindow(); // later showings leave it where it was
        QCOMPARE(settingsWindow.pos(), QPoint(300, 300));
        settingsWindow.setGeometry(310, 320, 950, 820);
        QTRY_COMPARE(settings.string(SettingsKeys::VarnelloSettingsWindowFrame),
                     QStringLiteral("{{310, 320}, {950, 820}}"));
        settingsWindow.showMaximized();
        QTRY_VERIFY(settingsWindow.width() > 950);
        QCOMPARE(settings.string(SettingsKeys::VarnelloSettingsWindowFrame),
                 QStringLiteral("{{310, 320}, {950, 820}}"));
        QCOMPARE(settings.string(SettingsKeys::VarnelloMainWindowFrame), QString());
    }
};

int main(int argc, char **argv)
{
    QTemporaryDir folder;
    if (!varnello::test::useOffscreenScreens(kLaptopScreens, folder.path()))
        return 1;
    QApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    TestWindowFrames test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_WindowFrames.moc"
