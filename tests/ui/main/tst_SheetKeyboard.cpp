// The sheets from the keyboard, in the real main window maximised on a 1280 x 800 or a 1366 x 768
// screen: the arrows, Tab and Space in the entity lists; Return in a search field (and in the
// allowed-entity sheet's grid and radius) never saves and closes the sheet.
#include "MainWindowKit.h"

#include "AlertEditorSheet.h"
#include "AlertPanelsInstaller.h"
#include "ClubLogPopulateSheet.h"
#include "FilterPanelsInstaller.h"
#include "OffscreenScreens.h"
#include "SettingsKeys.h"
#include "SheetPresenter.h"

#include <QListWidget>
#include <QScreen>

using namespace varnello;
using namespace varnello::test;

namespace {

enum class Sheet { alertEditor, populate, allowedEntities };

struct Scene {
    MainWindowKit kit;
    QList<SpotAlertConfiguration> storedAlerts;
    QList<bool> storedFlags;
    QByteArray storedAllowList;

    Scene()
    {
        installFilterPanels(*kit.window, *kit.view, {});
        installAlertPanels(*kit.window, *kit.view);
        kit.settings().setBool(SettingsKeys::clubLogPopulateExplanationDismissed, true);
        kit.view->loadAlertEntities();
        storedAlerts = kit.view->loadAlertConfigurations();
        storedFlags = kit.view->loadAlertEnabledStates();
        storedAllowList = kit.settings().data(SettingsKeys::customSpotterEntityADIFNumbers);
    }

    // Opens `sheet` as the operator would, over the window maximised on the screen numbered
    // `screen`, and gives its dialog.
    QDialog *open(Sheet sheet, int screen = 0)
    {
        kit.window->setScreen(QGuiApplication::screens().at(screen));
        kit.window->move(kit.window->screen()->availableGeometry().topLeft());
        kit.window->showMaximized();
        if (!kit.showWindow())
            return nullptr;
        if (sheet == Sheet::allowedEntities) {
            kit.view->openCustomSpotterEntitySheet();
            if (!QTest::qWaitFor([&] { return presented(); }))
                return nullptr;
            return kit.window->presenter().currentDialog();
        }
        kit.view->openAlertEditor(0);
        if (!QTest::qWaitFor([&] { return presented(); }))
            return nullptr;
        auto *editor = qobject_cast<AlertEditorSheet *>(kit.window->presenter().currentDialog());
        // The name field takes the keyboard one turn after the editor appears.
        if (!QTest::qWaitFor([&] {
                return editor->focusWidget() &&
                       editor->focusWidget()->objectName() == QLatin1String("alertName");
            }))
            return nullptr;
        if (sheet == Sheet::alertEditor)
            return editor;
        kit.view->openClubLogAlertSheet();
        if (!QTest::qWaitFor([&] { return editor->populateSheet() != nullptr; }))
            return nullptr;
        return editor->populateSheet();
    }

    bool presented() const { return kit.window->presenter().currentDialog() != nullptr; }

    bool stillOpen(Sheet sheet) const
    {
        switch (sheet) {
        case Sheet::alertEditor:
            return kit.view->alertEditorSession().has_value() && presented();
        case Sheet::populate:
            return kit.view->isClubLogAlertSheetPresented() && !kit.view->clubLogLookupFailed();
        case Sheet::allowedEntities:
            return kit.view->customSpotterEntitySession().has_value() && presented();
        }
        return false;
    }

    bool nothingStored()
    {
        return kit.view->loadAlertConfigurations() == storedAlerts &&
               kit.view->loadAlertEnabledStates() == storedFlags &&
               kit.settings().data(SettingsKeys::customSpotterEntityADIFNumbers) ==
                   storedAllowList &&
               !kit.settings().boolValue(SettingsKeys::customSpotterEntityFilterEnabled);
    }

    // The entity numbers the sheet's draft holds.
    QSet<int> draft(Sheet sheet) const
    {
        switch (sheet) {
        case Sheet::alertEditor:
            return kit.view->alertDraft().selectedEntityADIFNumbers;
        case Sheet::populate:
            return kit.view->clubLogSelectedEntityADIFNumbers;
        case Sheet::allowedEntities:
            return kit.view->customSpotterEntityDraft();
        }
        return {};
    }
};

int adifOf(const QListWidgetItem *item)
{
    return item ? item->data(Qt::UserRole + 1).toInt() : 0;
}

// Whether the list has the focus and its current row is wholly in view and drawn apart.
bool showsFocusOnCurrentRow(QListWidget *list)
{
    const QModelIndex current = list->currentIndex();
    const QRect rect = list->visualRect(current);
    const QImage focused = list->viewport()->grab(rect).toImage();
    list->selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    const bool drawn = list->viewport()->grab(rect).toImage() != focused;
    list->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    return drawn && list->hasFocus() && list->viewport()->rect().contains(rect);
}

} // namespace

Q_DECLARE_METATYPE(Sheet)

class tst_SheetKeyboard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void spaceTogglesTheCurrentEntityRow_data()
    {
        QTest::addColumn<Sheet>("sheet");
        QTest::addColumn<bool>("fromSearch"); // else the program gives the list the focus
        QTest::addColumn<QString>("search");  // typed after a click ticks the first entity
        QTest::addColumn<int>("screen");      // 0: 1280 x 800, 1: 1366 x 768
        const std::pair<const char *, Sheet> sheets[] = {
            {"alert editor", Sheet::alertEditor},
            {"Populate from Club Log", Sheet::populate},
            {"allowed spotter entities", Sheet::allowedEntities}};
        for (const int screen : {0, 1}) {
            const char *on = screen ? "on 1366 x 768" : "on 1280 x 800";
            for (const auto &[name, sheet] : sheets) {
                QTest::addRow("%s %s", name, on)
                    << sheet << (sheet != Sheet::populate) << QString() << screen;
                QTest::addRow("%s, a search below a pick %s", name, on)
                    << sheet << true << QStringLiteral("mauri") << screen;
            }
        }
    }

    void spaceTogglesTheCurrentEntityRow()
    {
        QFETCH(Sheet, sheet);
        QFETCH(bool, fromSearch);
        QFETCH(QString, search);
        QFETCH(int, screen);
        Scene s;
        QDialog *dialog = s.open(sheet, screen);
        QVERIFY(dialog);
        auto *list = dialog->findChild<QListWidget *>(
            sheet == Sheet::allowedEntities ? "entities" : "entityList");
        auto *field = dialog->findChild<QLineEdit *>(
            sheet == Sheet::allowedEntities ? "search" : "entitySearch");
        QVERIFY(list && field);
        QTRY_VERIFY(list->count() > 2);
        const int pick = search.isEmpty() ? 0 : adifOf(list->item(1));
        if (pick) { // listed above the matches, whatever the search
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(1)).center());
            QTRY_VERIFY(s.draft(sheet).contains(pick));
            QTest::keyClicks(field, search);
            QTRY_VERIFY(list->count() < 10); // the pick and a few matches
        }
        QWidget *start = fromSearch ? static_cast<QWidget *>(field) : list;
        start->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), start);
        if (fromSearch) {
            QTest::keyClick(field, Qt::Key_Down);
            QVERIFY(showsFocusOnCurrentRow(list));
        }
        // The first match, under the "All DXCC Entities" header (and the pick with its header).
        QCOMPARE(list->currentRow(), pick ? 3 : 1);
        const int adif = adifOf(list->currentItem());
        QVERIFY(adif > 0);
        QVERIFY(!s.draft(sheet).contains(adif));

        QTest::keyClick(list, Qt::Key_Space);
        QTRY_VERIFY(s.draft(sheet).contains(adif));
        QCOMPARE(s.draft(sheet).contains(pick), pick && sheet != Sheet::populate); // it takes one
        QTest::qWait(10); // the list is rebuilt
        // The keyboard stays on that entity, now in "Selected DXCC Entities"; Space unticks it.
        QTRY_COMPARE(adifOf(list->currentItem()), adif);
        int ticked = adif;
        if (pick) { // Up to the field and Tab back: the first match, not the pick just made
            QTest::keyClick(list, Qt::Key_Up);
            QTest::keyClick(field, Qt::Key_Tab);
            if (sheet == Sheet::allowedEntities) // past the search's clear button
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY(showsFocusOnCurrentRow(list));
            QCOMPARE(list->currentRow(), sheet == Sheet::populate ? 3 : 4);
            ticked = adifOf(list->currentItem());
            QTest::keyClick(list, Qt::Key_Space);
            QTRY_VERIFY(s.draft(sheet).contains(ticked));
            QCOMPARE(s.draft(sheet).contains(adif), sheet != Sheet::populate);
            QTRY_COMPARE(adifOf(list->currentItem()), ticked);
        }
        // Down and Up step over the "All DXCC Entities" heading below it and back.
        for (const auto &[key, row] : {std::pair{Qt::Key_Down, 3}, std::pair{Qt::Key_Up, 1}}) {
            if (pick)
                break;
            QTest::keyClick(list, key);
            QCOMPARE(list->currentRow(), row);
            QVERIFY(showsFocusOnCurrentRow(list));
        }
        QTest::keyClick(list, Qt::Key_Space);
        QTRY_VERIFY(!s.draft(sheet).contains(ticked));
        QVERIFY(s.stillOpen(sheet));
        QVERIFY(s.nothingStored());
        QTest::keyClick(list, Qt::Key_Up); // from the first entity back to the search field
        QCOMPARE(QApplication::focusWidget(), field);
    }

    void returnInAFieldLeavesTheSheetOpen_data()
    {
        QTest::addColumn<Sheet>("sheet");
        QTest::addColumn<QString>("fieldName");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("selects");
        QTest::newRow("alert editor: entity search")
            << Sheet::alertEditor << QStringLiteral("entitySearch") << QStringLiteral("germ")
            << false;
        QTest::newRow("Populate: entity search")
            << Sheet::populate << QStringLiteral("entitySearch") << QStringLiteral("germ") << false;
        QTest::newRow("allowed entities: search")
            << Sheet::allowedEntities << QStringLiteral("search") << QStringLiteral("germ")
            << false;
        QTest::newRow("allowed entities: grid")
            << Sheet::allowedEntities << QStringLiteral("homeGrid") << QStringLiteral("jo01")
            << true;
        QTest::newRow("allowed entities: radius")
            << Sheet::allowedEntities << QStringLiteral("radius") << QStringLiteral("250") << true;
    }

    void returnInAFieldLeavesTheSheetOpen()
    {
        QFETCH(Sheet, sheet);
        QFETCH(QString, fieldName);
        QFETCH(QString, typed);
        QFETCH(bool, selects);
        Scene s;
        s.kit.settings().setString(SettingsKeys::customSpotterHomeGrid, QStringLiteral("JO01"));
        s.kit.settings().setString(SettingsKeys::customSpotterRadius, QStringLiteral("100"));
        QDialog *dialog = s.open(sheet);
        QVERIFY(dialog);
        auto *field = dialog->findChild<QLineEdit *>(fieldName);
        QVERIFY(field);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        QTest::qWait(20);
        QVERIFY(s.stillOpen(sheet));
        QVERIFY(dialog->isVisible());
        QVERIFY(s.nothingStored());
        // In the grid and the radius, Return runs the selection within the radius instead.
        QCOMPARE(s.kit.view->isSelectingCustomSpotterEntitiesAutomatically(), selects);
        QTRY_VERIFY_WITH_TIMEOUT(!s.kit.view->isSelectingCustomSpotterEntitiesAutomatically(),
                                 20000);
        QVERIFY(s.nothingStored());
    }
};

int main(int argc, char **argv)
{
    return execOnOffscreenScreens<tst_SheetKeyboard>({{1280, 800}, {1366, 768}}, argc, argv);
}

#include "tst_SheetKeyboard.moc"
