// Every button and field of the popovers, sheets and warnings can be reached on a laptop screen:
// 1280 x 800 and 1366 x 768 virtual screens, with the main window maximised and at its minimum
// size in the screen's bottom-right corner. A control inside a scroll area counts as reachable
// when scrolling to it shows all of it.
#include "MainWindowKit.h"

#include "../settings/SettingsTestKit.h"
#include "AlertPanelsInstaller.h"
#include "FilterPanelsInstaller.h"
#include "FiltersButton.h"
#include "NewSlotAlertSheet.h"
#include "OffscreenScreens.h"
#include "RBNButton.h"
#include "RBNPopover.h"
#include "SettingsKeys.h"
#include "SettingsWindow.h"
#include "SheetPresenter.h"
#include "SpotFiltersPopover.h"
#include "UnsupportedClusterWarningView.h"
#include "UpstreamFilterWarningView.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTemporaryDir>

using namespace varnello;
using namespace varnello::test;

namespace {

// The two laptop screens, side by side on one virtual desktop.
constexpr QSize laptopScreens[] = {{1280, 800}, {1366, 768}};

bool isPartOfAnotherControl(const QWidget *widget)
{
    for (const QWidget *p = widget->parentWidget(); p; p = p->parentWidget()) {
        // Rows of a list are reached by scrolling the list; a combo box's or a tab bar's own
        // parts come with it.
        if (qobject_cast<const QAbstractItemView *>(p) || qobject_cast<const QComboBox *>(p) ||
            qobject_cast<const QTabBar *>(p) || qobject_cast<const QAbstractSpinBox *>(p))
            return true;
        if (p->isWindow())
            break;
    }
    return false;
}

// The controls a person has to reach in `root`, as it is shown now.
QList<QWidget *> controlsOf(QWidget *root)
{
    QList<QWidget *> controls;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        if (widget->window() != root || !widget->isVisibleTo(root) ||
            isPartOfAnotherControl(widget))
            continue;
        if (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget) ||
            qobject_cast<QComboBox *>(widget) || qobject_cast<QAbstractSpinBox *>(widget) ||
            qobject_cast<QAbstractItemView *>(widget))
            controls.append(widget);
    }
    return controls;
}

QString nameOf(const QWidget *control)
{
    QString name = control->objectName();
    if (const auto *button = qobject_cast<const QAbstractButton *>(control))
        name += QStringLiteral(" \"") + button->text() + u'"';
    return name + QStringLiteral(" (") + QString::fromLatin1(control->metaObject()->className()) +
           u')';
}

// The part of `control` that shows, in global coordinates.
QRect shownPart(const QWidget *control)
{
    QRect shown(control->mapToGlobal(QPoint(0, 0)), control->size());
    for (const QWidget *p = control->parentWidget(); p; p = p->parentWidget()) {
        shown &= QRect(p->mapToGlobal(QPoint(0, 0)), p->size());
        if (p->isWindow())
            break;
    }
    return shown;
}

// Scrolls every scroll area around `control` to it, the innermost first.
void scrollTo(QWidget *control)
{
    for (QWidget *p = control->parentWidget(); p && !p->isWindow(); p = p->parentWidget()) {
        if (auto *area = qobject_cast<QScrollArea *>(p))
            area->ensureWidgetVisible(control, 0, 0);
    }
}

bool isInScrollArea(const QWidget *widget)
{
    for (const QWidget *p = widget->parentWidget(); p && !p->isWindow(); p = p->parentWidget()) {
        if (qobject_cast<const QAbstractScrollArea *>(p))
            return true;
    }
    return false;
}

bool showsVerticalBar(const QAbstractScrollArea *area)
{
    return area->isVisible() && area->verticalScrollBar()->isVisible();
}

// Every control of `surface` shows whole inside the available area of `screen` once scrolled
// to; the default button shows without scrolling; no scrolling part lies in another that
// scrolls as well.
bool allReachable(QWidget *surface, const QScreen *screen, const QString &what)
{
    QTest::qWait(30); // layouts and scroll ranges settle
    if (!surface || !surface->isVisible()) {
        qWarning("%s is not shown", qPrintable(what));
        return false;
    }
    const QRect available = screen->availableGeometry();
    const QList<QWidget *> controls = controlsOf(surface);
    if (controls.isEmpty()) {
        qWarning("%s has no controls", qPrintable(what));
        return false;
    }
    bool ok = true;
    const auto check = [&](const QWidget *control, const char *how) {
        const QRect shown = shownPart(control);
        if (shown.size() == control->size() && available.contains(shown))
            return;
        qWarning("%s: %s %s shows %d,%d %dx%d of %dx%d; the screen has %d,%d %dx%d",
                 qPrintable(what), qPrintable(nameOf(control)), how, shown.x(), shown.y(),
                 shown.width(), shown.height(), control->width(), control->height(), available.x(),
                 available.y(), available.width(), available.height());
        ok = false;
    };
    for (const QWidget *control : controls) {
        const auto *button = qobject_cast<const QPushButton *>(control);
        if (!button || !button->isDefault())
            continue;
        check(button, "(the default button, pinned)");
        if (isInScrollArea(button)) {
            qWarning("%s: the default button scrolls with the content", qPrintable(what));
            ok = false;
        }
    }
    for (const QAbstractScrollArea *inner : surface->findChildren<QAbstractScrollArea *>()) {
        for (const QWidget *p = inner->parentWidget(); p && showsVerticalBar(inner);
             p = p->parentWidget()) {
            const auto *outer = qobject_cast<const QAbstractScrollArea *>(p);
            if (outer && showsVerticalBar(outer)) {
                qWarning("%s: %s scrolls inside %s, both with scroll bars", qPrintable(what),
                         qPrintable(nameOf(inner)), qPrintable(nameOf(outer)));
                ok = false;
            }
            if (p == surface)
                break;
        }
    }
    for (QWidget *control : controls) {
        scrollTo(control);
        check(control, "");
    }
    return ok;
}

QStringList filterLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines.append(QStringLiteral("filter%1 accept/spots on hf/cw and not by_zone 14,15,16 and "
                                    "call_dxcc 230")
                         .arg(i));
    return lines;
}

struct SettingsKit {
    StoreKit store;
    FakeConnectionLink connection;
    FakeDataFiles files;
    QTemporaryDir loginFolder;
    XdgAutostartLoginItem login{loginFolder.path(), QCoreApplication::applicationFilePath()};
    RecordingAlerts alerts;
    std::unique_ptr<SettingsWindow> window;

    SettingsKit()
    {
        SettingsViewServices services;
        services.settings = store.store.get();
        services.connection = &connection;
        services.dataFiles = &files;
        services.loginItem = &login;
        services.alerts = &alerts;
        services.openUrl = [](const QUrl &) { return true; };
        window = std::make_unique<SettingsWindow>(services);
    }
};

} // namespace

class tst_ScreenGeometry : public QObject {
    Q_OBJECT

    struct Scene {
        MainWindowKit kit;
        QScreen *screen = nullptr;

        Scene(int screenIndex, bool maximised)
        {
            installFilterPanels(*kit.window, *kit.view, {});
            installAlertPanels(*kit.window, *kit.view);
            kit.settings().setBool(SettingsKeys::clubLogPopulateExplanationDismissed, true);
            screen = QGuiApplication::screens().at(screenIndex);
            const QRect available = screen->availableGeometry();
            kit.window->setScreen(screen);
            kit.window->move(available.topLeft());
            if (maximised) {
                kit.window->showMaximized();
            } else {
                kit.window->resize(1, 1); // held at its minimum size
                kit.window->show();
                QTest::qWait(30);
                const QRect frame = kit.window->frameGeometry();
                kit.window->move(available.right() + 1 - frame.width(),
                                 available.bottom() + 1 - frame.height());
            }
            kit.window->activateWindow();
            QVERIFY(QTest::qWaitForWindowExposed(kit.window.get()));
            QTest::qWait(30);
        }

        QDialog *presented(SheetPresenter::Presentation presentation)
        {
            if (!QTest::qWaitFor([&] { return kit.window->presenter().current() == presentation; }))
                return nullptr;
            return kit.window->presenter().currentDialog();
        }
        void closePresented()
        {
            if (QDialog *dialog = kit.window->presenter().currentDialog())
                dialog->findChild<QPushButton *>(QStringLiteral("cancel"))->click();
            QTRY_VERIFY(!kit.window->presenter().current());
        }
    };

private Q_SLOTS:
    void everyControlIsOnScreen_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<bool>("maximised");
        for (int screen = 0; screen < 2; ++screen) {
            const QSize size = laptopScreens[screen];
            const QString name = QStringLiteral("%1x%2 ").arg(size.width()).arg(size.height());
            QTest::newRow(qPrintable(name + QStringLiteral("maximised"))) << screen << true;
            QTest::newRow(qPrintable(name + QStringLiteral("smallest in the corner")))
                << screen << false;
        }
    }

    void everyControlIsOnScreen()
    {
        QFETCH(int, screen);
        QFETCH(bool, maximised);
        Scene s(screen, maximised);
        MainWindowKit &kit = s.kit;
        QCOMPARE(kit.window->screen(), s.screen);
        QVERIFY(s.screen->availableGeometry().contains(kit.window->frameGeometry()));

        // The popovers, opened by their buttons.
        auto *filters = kit.find<FiltersButton>(QStringLiteral("filtersButton"));
        filters->click();
        QVERIFY(allReachable(filters->popover(), s.screen, "Spot Filters popover"));
        filters->popover()->hide();
        QVERIFY(kit.logIn());
        auto *rbn = kit.find<RBNButton>(QStringLiteral("rbnButton"));
        QTRY_VERIFY(rbn->isEnabled());
        rbn->click();
        QVERIFY(allReachable(rbn->popover(), s.screen, "RBN popover"));
        rbn->popover()->hide();

        // The editor sheets the presenter shows, and Populate over the alert editor.
        // Both filter sheets have room for their designed 650 x 650 on either screen.
        kit.view->openCustomInfoFilterSheet();
        QDialog *blockedWords = s.presented(SheetPresenter::Presentation::blockedWords);
        QVERIFY(allReachable(blockedWords, s.screen, "blocked words"));
        QCOMPARE(blockedWords->size(), QSize(650, 650));
        s.closePresented();
        kit.view->openCustomSpotterEntitySheet();
        QDialog *entities = s.presented(SheetPresenter::Presentation::allowedSpotterEntities);
        QVERIFY(allReachable(entities, s.screen, "allowed spotter entities"));
        QCOMPARE(entities->size(), QSize(650, 650));
        s.closePresented();
        for (int slot : {0, 4}) {
            kit.view->openAlertEditor(slot);
            QDialog *editor = s.presented(SheetPresenter::Presentation::alertEditor);
            QVERIFY(allReachable(editor, s.screen, QStringLiteral("alert editor %1").arg(slot)));
            if (slot == 0) {
                kit.view->openClubLogAlertSheet();
                QTRY_VERIFY(editor->findChild<QDialog *>(QStringLiteral("clubLogPopulateSheet")));
                QVERIFY(allReachable(
                    editor->findChild<QDialog *>(QStringLiteral("clubLogPopulateSheet")), s.screen,
                    "Populate from Club Log"));
                kit.view->closeClubLogAlertSheet();
            }
            s.closePresented();
        }

        // Both faces of the New Slot sheet; the form with its failure line beside Apply.
        kit.view->openNewSlotAlertSheet();
        QTRY_VERIFY(kit.window->findChild<NewSlotAlertSheet *>());
        auto *newSlot = kit.window->findChild<NewSlotAlertSheet *>();
        QVERIFY(allReachable(newSlot, s.screen, "New Slot summary"));
        kit.view->showNewSlotClubLogConfiguration();
        QVERIFY(allReachable(newSlot, s.screen, "New Slot form"));
        auto *apply = newSlot->findChild<QPushButton *>(QStringLiteral("newSlotApplyButton"));
        apply->click();
        QTest::qWait(30);
        auto *failure = newSlot->findChild<QLabel *>(QStringLiteral("newSlotFailureLabel"));
        QVERIFY(failure->isVisible());
        const QRect failureShown = shownPart(failure);
        const QRect applyShown = shownPart(apply);
        QCOMPARE(failureShown.size(), failure->size());
        QVERIFY(failureShown.top() < applyShown.bottom() &&
                failureShown.bottom() > applyShown.top());
        kit.view->cancelNewSlotAlertSheet();
        QTRY_VERIFY(!kit.window->findChild<NewSlotAlertSheet *>());

        // The node warnings, made as the presenter makes them, with 60 filter lines.
        {
            UpstreamFilterWarningView upstream(filterLines(60), {}, kit.window.get());
            upstream.open();
            QVERIFY(allReachable(&upstream, s.screen, "upstream filter warning"));
        }
        for (ClusterNodeType type : {ClusterNodeType::ccCluster, ClusterNodeType::other}) {
            UnsupportedClusterWarningView warning({type, QStringLiteral("node.example"), 7300}, {},
                                                  kit.window.get());
            warning.open();
            QVERIFY(allReachable(&warning, s.screen, "node warning " + toRaw(type)));
        }

        // Settings, centred over the window as its keeper opens it.
        SettingsKit settings;
        QRect frame = settings.window->geometry();
        frame.moveCenter(kit.window->geometry().center());
        settings.window->setGeometry(frame);
        settings.window->show();
        QVERIFY(allReachable(settings.window.get(), s.screen, "Settings"));
    }
};

int main(int argc, char **argv)
{
    return execOnOffscreenScreens<tst_ScreenGeometry>(
        {std::begin(laptopScreens), std::end(laptopScreens)}, argc, argv);
}

#include "tst_ScreenGeometry.moc"
