// The sheets from the keyboard, in the real main window: Space ticks the current entity row; the
// arrows move between entity rows only, showing the focus, from and back to the search field;
// Return in a search field (and in the allowed-entity sheet's grid and radius) never saves and
// closes the sheet.
#include "MainWindowKit.h"

#include "AlertEditorSheet.h"
#include "AlertPanelsInstaller.h"
#include "ClubLogPopulateSheet.h"
#include "FilterPanelsInstaller.h"
#include "SettingsKeys.h"
#include "SheetPresenter.h"

#include <QListWidget>

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

    // Opens `sheet` as the operator would and gives its dialog.
    QDialog *open(Sheet sheet)
    {
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

    void selectOneEntity(Sheet sheet, int adif)
    {
        switch (sheet) {
        case Sheet::alertEditor:
            kit.view->toggleAlertEntity(adif);
            break;
        case Sheet::populate:
            kit.view->toggleClubLogEntity(adif);
            break;
        case Sheet::allowedEntities:
            kit.view->toggleSpotterEntity(adif);
            break;
        }
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

// Whether the list shows where its keyboard focus is: the current row, wholly in view, looks
// different once the list has no current row.
bool showsFocusOnCurrentRow(QListWidget *list)
{
    const QModelIndex current = list->currentIndex();
    const QRect rect = list->visualRect(current);
    if (!current.isValid() || !list->hasFocus() || list->isRowHidden(current.row()) ||
        !list->viewport()->rect().contains(rect))
        return false;
    const QImage focused = list->viewport()->grab(rect).toImage();
    list->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    const QImage plain = list->viewport()->grab(rect).toImage();
    list->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    return focused != plain;
}

constexpr int searchField = -1;

} // namespace

Q_DECLARE_METATYPE(Sheet)

class tst_SheetKeyboard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void spaceTogglesTheCurrentEntityRow_data()
    {
        QTest::addColumn<Sheet>("sheet");
        QTest::addColumn<QString>("listName");
        QTest::newRow("alert editor") << Sheet::alertEditor << QStringLiteral("entityList");
        QTest::newRow("Populate from Club Log") << Sheet::populate << QStringLiteral("entityList");
        QTest::newRow("allowed spotter entities")
            << Sheet::allowedEntities << QStringLiteral("entities");
    }

    void spaceTogglesTheCurrentEntityRow()
    {
        QFETCH(Sheet, sheet);
        QFETCH(QString, listName);
        Scene s;
        QDialog *dialog = s.open(sheet);
        QVERIFY(dialog);
        auto *list = dialog->findChild<QListWidget *>(listName);
        QVERIFY(list);
        QTRY_VERIFY(list->count() > 2);
        list->setFocus();
        list->setCurrentRow(1); // the first entity, under the "All DXCC Entities" header
        const int adif = adifOf(list->currentItem());
        QVERIFY(adif > 0);
        QVERIFY(!s.draft(sheet).contains(adif));

        QTest::keyClick(list, Qt::Key_Space);
        QTRY_VERIFY(s.draft(sheet).contains(adif));
        QTest::qWait(10); // the list is rebuilt
        // The keyboard stays on that entity, now in "Selected DXCC Entities"; Space unticks it.
        QTRY_COMPARE(adifOf(list->currentItem()), adif);
        QTest::keyClick(list, Qt::Key_Space);
        QTRY_VERIFY(!s.draft(sheet).contains(adif));
        QVERIFY(s.stillOpen(sheet));
        QVERIFY(s.nothingStored());
    }

    // With one entity selected the list reads: "Selected DXCC Entities", that entity, "All DXCC
    // Entities", the others. The keys start in the search field, or after a click on the first
    // entity (which selects it) in a window where the keyboard has not moved the focus yet.
    void arrowKeysLandOnEntityRowsOnly_data()
    {
        QTest::addColumn<Sheet>("sheet");
        QTest::addColumn<bool>("oneSelected");
        QTest::addColumn<bool>("click");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("landing"); // a row or searchField
        const int down = Qt::Key_Down;
        const int up = Qt::Key_Up;
        const struct {
            Sheet sheet;
            const char *name;
        } sheets[] = {{Sheet::alertEditor, "alert editor"},
                      {Sheet::allowedEntities, "allowed spotter entities"}};
        for (const auto &[sheet, name] : sheets) {
            const auto row = [name = name](const char *path) -> QTestData & {
                return QTest::addRow("%s: %s", name, path);
            };
            row("Down from the search") << sheet << false << false << QList<int>{down} << 1;
            row("Down across a heading") << sheet << true << false << QList<int>{down, down} << 3;
            row("Up across a heading") << sheet << true << false << QList<int>{down, down, up} << 1;
            row("Up from the first entity")
                << sheet << true << false << QList<int>{down, up} << searchField;
            row("Down after a click") << sheet << false << true << QList<int>{down} << 3;
        }
        QTest::newRow("Populate from Club Log: Down across a heading")
            << Sheet::populate << true << false << QList<int>{down, down} << 3;
        QTest::newRow("Populate from Club Log: Up from the first entity")
            << Sheet::populate << true << false << QList<int>{down, up} << searchField;
    }

    void arrowKeysLandOnEntityRowsOnly()
    {
        QFETCH(Sheet, sheet);
        QFETCH(bool, oneSelected);
        QFETCH(bool, click);
        QFETCH(QList<int>, keys);
        QFETCH(int, landing);
        Scene s;
        QDialog *dialog = s.open(sheet);
        QVERIFY(dialog);
        const bool allowed = sheet == Sheet::allowedEntities;
        auto *list = dialog->findChild<QListWidget *>(allowed ? "entities" : "entityList");
        auto *field = dialog->findChild<QLineEdit *>(allowed ? "search" : "entitySearch");
        QVERIFY(list && field);
        if (oneSelected)
            s.selectOneEntity(sheet, 230);
        QTRY_COMPARE(list->item(0)->text(), oneSelected ? QStringLiteral("Selected DXCC Entities")
                                                        : QStringLiteral("All DXCC Entities"));
        if (click) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(1)).center());
            QTRY_COMPARE(list->item(0)->text(), QStringLiteral("Selected DXCC Entities"));
            QTRY_COMPARE(list->currentRow(), 1);
        } else {
            field->setFocus();
        }
        QTRY_COMPARE(QApplication::focusWidget(), click ? static_cast<QWidget *>(list) : field);
        for (const int key : keys)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));

        if (landing == searchField) {
            QCOMPARE(QApplication::focusWidget(), field);
            return;
        }
        QCOMPARE(QApplication::focusWidget(), list);
        QCOMPARE(list->currentRow(), landing);
        QVERIFY(showsFocusOnCurrentRow(list));
        const int adif = adifOf(list->currentItem());
        QVERIFY(adif > 0);
        const bool wasSelected = s.draft(sheet).contains(adif);
        QTest::keyClick(list, Qt::Key_Space);
        QTRY_COMPARE(s.draft(sheet).contains(adif), !wasSelected);
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

QTEST_MAIN(tst_SheetKeyboard)
#include "tst_SheetKeyboard.moc"
