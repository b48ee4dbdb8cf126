#include "AlertSheetTestSupport.h"

#include "AlertEditorSheet.h"
#include "AlertEmptyState.h"
#include "BundledResources.h"
#include "ColorSwatchButton.h"
#include "EntityPickerList.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QToolButton>

using namespace varnello;
using namespace varnello::test;

namespace {

struct EditorScene {
    ContentViewFixture f;
    SheetHost host;
    ContentView *view = nullptr;
    std::unique_ptr<AlertEditorSheet> sheet;

    explicit EditorScene(const QList<SpotAlertConfiguration> &alerts = defaultAlertConfigurations(),
                         const QList<bool> &flags = QList<bool>(5, false))
    {
        f.storeAlerts(alerts, flags);
        view = &f.make();
    }

    AlertEditorSheet &open(int slot)
    {
        view->openAlertEditor(slot);
        sheet = std::make_unique<AlertEditorSheet>(*view, &host.window);
        sheet->open();
        QTest::qWait(0);
        return *sheet;
    }

    template <typename T> T *child(const QString &name) const
    {
        return findNamed<T>(sheet.get(), name);
    }

    // Lets the coalesced refresh run.
    static void settle() { QTest::qWait(10); }
};

QListWidgetItem *entityRow(QListWidget *list, int adif)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(EntityPickerList::adifRole).toInt() == adif &&
            list->item(i)->data(Qt::DisplayRole).isValid() &&
            !list->item(i)->data(EntityPickerList::captionRole).toString().isEmpty())
            return list->item(i);
    }
    return nullptr;
}

QStringList rowTexts(QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

void clickRow(QListWidget *list, QListWidgetItem *item)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

} // namespace

class tst_AlertEditorSheet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { BundledResources::setResolverForTesting({}); }

    void typedName_isCutToThirtyCharactersAtOnce()
    {
        EditorScene s;
        s.open(0);
        auto *name = s.child<QLineEdit>("alertName");
        QTRY_VERIFY(name->hasFocus());
        name->selectAll();
        QTest::keyClicks(name, QString(31, 'w'));
        QCOMPARE(name->text(), QString(30, 'w'));
        QCOMPARE(s.view->alertDraft().name, QString(30, 'w'));
    }

    void openingAndSaving_writesNoColourOfItsOwn()
    {
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        alerts[1].highlightColor = {0.8, 0.1, 0.3};
        EditorScene s(alerts);
        s.open(1);
        EditorScene::settle();
        QCOMPARE(s.child<ColorSwatchButton>("highlightColour")->color(),
                 (SpotAlertColor{0.8, 0.1, 0.3}));
        QCOMPARE(s.view->alertDraft().highlightColor, (SpotAlertColor{0.8, 0.1, 0.3}));
        QTest::mouseClick(s.child<QPushButton>("save"), Qt::LeftButton);
        QCOMPARE(s.view->loadAlertConfigurations()[1].highlightColor,
                 (SpotAlertColor{0.8, 0.1, 0.3}));
        QTRY_VERIFY(!s.sheet->isVisible());
    }

    void buttons_returnSavesAndEnables_escapeCancels_clubLogOnlyForEntitySlots()
    {
        EditorScene s;
        s.open(2);
        // Taller than the test screen: clamped; its columns give way, so the buttons stay in
        // view and no scroll bar of the sheet's own wraps the scrolling columns.
        const QRect screen = s.sheet->screen()->availableGeometry();
        QVERIFY(s.sheet->height() <= screen.height());
        auto *saveAndEnable = s.child<QPushButton>("saveAndEnable");
        QVERIFY(screen.contains(
            QRect(saveAndEnable->mapToGlobal(QPoint(0, 0)), saveAndEnable->size())));
        QCOMPARE(s.child<QScrollArea>("sheetScroll")->verticalScrollBar()->maximum(), 0);
        QVERIFY(s.child<QPushButton>("clubLog"));
        QVERIFY(!s.child<QPushButton>("clearAll")->isEnabled());
        clickBox(s.child<QCheckBox>("band:20m"));
        EditorScene::settle();
        QVERIFY(s.child<QPushButton>("clearAll")->isEnabled());
        QTest::keyClick(s.sheet.get(), Qt::Key_Return);
        QVERIFY(!s.view->alertEditorSession());
        QCOMPARE(s.view->loadAlertEnabledStates()[2], true);

        s.open(4);
        QVERIFY(!s.sheet->findChild<QPushButton *>("clubLog"));
        clickBox(s.child<QCheckBox>("mode:cw"));
        QTest::keyClick(s.sheet.get(), Qt::Key_Escape);
        QVERIFY(!s.view->alertEditorSession());
        QVERIFY(s.view->loadAlertConfigurations()[4].selectedModes.isEmpty());
    }

    void soundControls_followPlaySoundAndKeepTheirValues()
    {
        EditorScene s;
        s.open(0);
        EditorScene::settle();
        auto *fiveMinutes = s.child<QCheckBox>("everyFiveMinutes");
        QVERIFY(!fiveMinutes->isEnabled());
        QVERIFY(fiveMinutes->isChecked());
        clickBox(s.child<QCheckBox>("playSound"));
        EditorScene::settle();
        QVERIFY(fiveMinutes->isEnabled());
        // Unticking the chosen frequency leaves it ticked.
        clickBox(fiveMinutes);
        EditorScene::settle();
        QVERIFY(fiveMinutes->isChecked());
        clickBox(s.child<QCheckBox>("everySpot"));
        EditorScene::settle();
        QVERIFY(!fiveMinutes->isChecked());
        QCOMPARE(s.view->alertDraft().soundFrequency, AlertSoundFrequency::everySpot);
    }

    void dimmedTexts_groupTitlesAndTheColourLabelWithItsWell()
    {
        EditorScene s;
        s.open(0);
        EditorScene::settle();
        for (const char *title : {"HF", "VHF / UHF", "Microwave"}) {
            const QPalette p =
                s.child<QPushButton>(QStringLiteral("bandGroup:") + title)->palette();
            QCOMPARE(p.color(QPalette::ButtonText), p.color(QPalette::PlaceholderText));
        }
        auto *well = s.child<ColorSwatchButton>("highlightColour");
        QLabel *label = nullptr;
        for (QLabel *candidate : well->parentWidget()->findChildren<QLabel *>()) {
            if (candidate->text() == QStringLiteral("Highlight colour"))
                label = candidate;
        }
        QVERIFY(label && label->isEnabled());
        clickBox(s.child<QCheckBox>("highlightRows"));
        EditorScene::settle();
        QVERIFY(!well->isEnabled());
        QVERIFY(!label->isEnabled());
    }

    void entityPicker_searchSelectionAndPicture()
    {
        EditorScene s;
        s.open(0);
        EditorScene::settle();
        auto *list = s.child<QListWidget>("entityList");
        QCOMPARE(list->item(0)->text(), QStringLiteral("All DXCC Entities"));
        // The search 230 lists the entity with that number.
        QTest::keyClicks(s.child<QLineEdit>("entitySearch"), "230");
        EditorScene::settle();
        QVERIFY(entityRow(list, 230));
        QVERIFY(s.sheet->findChild<QAction *>("entitySearchClear")->isVisible());
        clickRow(list, entityRow(list, 230));
        EditorScene::settle();
        QCOMPARE(s.view->alertDraft().selectedEntityADIFNumbers, QSet<int>{230});
        QCOMPARE(list->item(0)->text(), QStringLiteral("Selected DXCC Entities"));
        QCOMPARE(s.child<QLabel>("selectionSummary")->text(), QStringLiteral("1 selected"));

        s.view->setAlertEntitySearch(QStringLiteral("ita"));
        s.view->toggleAlertEntity(248);
        s.view->setAlertDraftBand(QStringLiteral("20m"), true);
        s.view->setAlertDraftBand(QStringLiteral("40m"), true);
        s.view->setAlertDraftMode(SpotType::cw, true);
        s.view->setAlertDraftName(QStringLiteral("DL and I on CW"));
        EditorScene::settle();
        QVERIFY(rowTexts(list).contains(QStringLiteral("Fed. Rep. of Germany")));
        QCOMPARE(s.child<QLabel>("selectionSummary")->text(), QStringLiteral("2 selected"));
        savePicture(s.child<QWidget>("alertEditorContent"), "alert-editor-slot0-selection");

        // Unticking a selected entity the search does not match makes it vanish from both.
        clickRow(list, entityRow(list, 230));
        EditorScene::settle();
        QVERIFY(!rowTexts(list).contains(QStringLiteral("Fed. Rep. of Germany")));
    }

    // Tab from the search into the list makes its first entity (never a heading) current, and
    // Space ticks it; after a search, the first match, below a pick that stays ticked.
    void entityPicker_tabIntoListThenSpaceTicksTheFirstEntity_data()
    {
        QTest::addColumn<QString>("search"); // with one entity selected above the matches
        QTest::newRow("fresh list under its heading") << QString();
        QTest::newRow("rebuilt by a search, under two headings") << QStringLiteral("ger");
    }
    void entityPicker_tabIntoListThenSpaceTicksTheFirstEntity()
    {
        QFETCH(QString, search);
        EditorScene s;
        s.open(0);
        QVERIFY(QTest::qWaitForWindowActive(s.sheet.get()));
        auto *field = s.child<QLineEdit>("entitySearch");
        auto *list = s.child<QListWidget>("entityList");
        if (!search.isEmpty())
            s.view->toggleAlertEntity(230);
        field->setFocus();
        QTest::keyClicks(field, search);
        EditorScene::settle();
        QVERIFY(!list->currentIndex().isValid());
        QTest::keyClick(field, Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), list);
        QCOMPARE(list->currentIndex().row(), search.isEmpty() ? 1 : 3); // under "All DXCC Entities"
        const int adif = list->currentIndex().data(EntityPickerList::adifRole).toInt();
        QTest::keyClick(list, Qt::Key_Space);
        EditorScene::settle();
        QVERIFY(s.view->alertDraft().selectedEntityADIFNumbers.contains(adif));
        QCOMPARE(s.view->alertDraft().selectedEntityADIFNumbers.contains(230), !search.isEmpty());
    }

    void callsignAlert_threeCallsignsAndPicture()
    {
        EditorScene s;
        s.open(4);
        EditorScene::settle();
        auto *pages = s.child<AlertEmptyState>("noCallsigns");
        QVERIFY(pages->isVisible());
        auto *entry = s.child<QLineEdit>("callsignEntry");
        auto *add = s.child<QPushButton>("callsignAdd");
        for (const char *call : {" vp2e* ", "k1abc/p", "dl1zz"}) {
            QTest::keyClicks(entry, call);
            EditorScene::settle();
            QVERIFY(add->isEnabled());
            QTest::keyClick(entry, Qt::Key_Return);
            EditorScene::settle();
        }
        // Return in the entry adds; it does not save the alert.
        QVERIFY(s.view->alertEditorSession());
        QTest::keyClicks(entry, "k1-abc");
        EditorScene::settle();
        QVERIFY(!add->isEnabled());
        QCOMPARE(s.child<QLabel>("selectionSummary")->text(), QStringLiteral("3 callsigns"));
        QVERIFY(!pages->isVisible());
        savePicture(s.child<QWidget>("alertEditorContent"), "alert-editor-slot4-callsigns");
        auto *remove = s.child<QToolButton>("remove:DL1ZZ");
        QCOMPARE(remove->toolTip(), QStringLiteral("Remove DL1ZZ"));
        QTest::mouseClick(remove, Qt::LeftButton);
        EditorScene::settle();
        QCOMPARE(s.view->sortedAlertCallsigns(), (QStringList{"K1ABC/P", "VP2E*"}));
    }

    // A pattern wider than the column is cut, and every row keeps its remove button in view.
    void longCallsignPattern_keepsEveryRemoveButtonInView()
    {
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        const QString longPattern =
            QStringLiteral("VK0ABCDEFGHIJKLMNOPQRSTUVWXYZ/MM/QRP/ANTARCTICA*");
        alerts[4].selectedCallsigns = {longPattern, QStringLiteral("K1ABC")};
        EditorScene s(alerts);
        s.open(4);
        EditorScene::settle();
        auto *list = s.child<QScrollArea>("callsignList");
        const QRect viewport(list->viewport()->mapToGlobal(QPoint(0, 0)), list->viewport()->size());
        for (const QString &pattern : {longPattern, QStringLiteral("K1ABC")}) {
            auto *remove = s.child<QToolButton>(QStringLiteral("remove:") + pattern);
            QVERIFY(viewport.contains(QRect(remove->mapToGlobal(QPoint(0, 0)), remove->size())));
        }
        QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
    }

    void clubLogDraft_isLockedAndNamesTheLowestEntity()
    {
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        SpotAlertConfiguration &a = alerts[0];
        a.name = QStringLiteral("Needed: DL");
        a.selectedEntityADIFNumbers = {230};
        a.clubLogSettings = ClubLogAlertSettings{};
        a.clubLogSettings->wantedStatus = ClubLogWantedStatus::notConfirmed;
        a.clubLogSettings->entityFilterADIFNumbers = {291, 230};
        a.clubLogSettings->entitySlotRules = {
            {230,
             {{"20m", SpotType::cw}, {"40m", SpotType::ftx}, {"20m", SpotType::otherDigital}}}};
        EditorScene s(alerts);
        s.open(0);
        EditorScene::settle();
        QVERIFY(s.child<QWidget>("clubLogSection")->isVisible());
        QVERIFY(!s.child<QCheckBox>("band:20m")->isVisible());
        QVERIFY(s.child<QWidget>("clubLogEntityView")->isVisible());
        QCOMPARE(s.child<QLabel>("clubLogEntityName")->text(),
                 QStringLiteral("Fed. Rep. of Germany"));
        QCOMPARE(s.child<QLabel>("clubLogAlertType")->text(),
                 QStringLiteral("Alert type: Not confirmed"));
        QStringList lines;
        for (QLabel *label : s.sheet->findChildren<QLabel *>("clubLogSlotLine"))
            lines.append(label->text());
        QCOMPARE(lines, (QStringList{"CW: 20m", "Data: 40m, 20m"}));
        savePicture(s.child<QWidget>("alertEditorContent"), "alert-editor-club-log-locked");
        // Clear All unlocks: the picker and the bands come back.
        QTest::mouseClick(s.child<QPushButton>("clearAll"), Qt::LeftButton);
        EditorScene::settle();
        QVERIFY(s.child<QCheckBox>("band:20m")->isVisible());
        QVERIFY(s.child<EntityPickerList>("alertEntityPicker")->isVisible());
    }

    void entityLoadFailure_blocksEntitySlotsOnly()
    {
        BundledResources::setResolverForTesting(
            [](const QString &, const QString &) { return std::nullopt; });
        EditorScene s;
        s.open(0);
        EditorScene::settle();
        auto *unavailable = s.child<AlertEmptyState>("entitiesUnavailable");
        QVERIFY(unavailable->isVisible());
        QCOMPARE(unavailable->title(), QStringLiteral("DXCC Entities Unavailable"));
        QCOMPARE(unavailable->description(), *s.view->alertEntityLoadError());
        QVERIFY(s.child<QPushButton>("saveAndEnable")->isVisible());
        savePicture(s.child<QWidget>("alertEditorContent"), "alert-editor-entity-load-failure");
        s.view->cancelAlertEditor();

        s.open(4);
        EditorScene::settle();
        QVERIFY(!s.child<AlertEmptyState>("entitiesUnavailable")->isVisible());
        QVERIFY(s.child<QLineEdit>("callsignEntry")->isVisible());
    }
};

QTEST_MAIN(tst_AlertEditorSheet)
#include "tst_AlertEditorSheet.moc"
