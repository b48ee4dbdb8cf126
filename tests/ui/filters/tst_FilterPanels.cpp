// The filter panel widgets offscreen: controls follow and drive ContentView's state; pictures of
// the popover, the band sidebar and both sheets go to the build folder.
#include "../../content/ContentViewFixture.h"
#include "AllowedSpotterEntitiesSheet.h"
#include "BandFiltersSidebar.h"
#include "BlockedWordsSheet.h"
#include "BundledResources.h"
#include "ElidedLabel.h"
#include "FiltersButton.h"
#include "NetworkText.h"
#include "RBNButton.h"
#include "RBNPopover.h"
#include "SpotFiltersPopover.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;

namespace {

using S = ContentView::FilterSwitch;

template <typename T> T *child(QWidget &parent, const QString &name)
{
    T *found = parent.findChild<T *>(name);
    if (!found)
        qWarning("no child %s", qPrintable(name));
    return found;
}

void savePicture(QWidget &widget, const QString &name)
{
    QTest::qWait(20); // pending layout requests first
    widget.grab().save(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name);
}

// What a tooltip or auto-format label shows for `text`: Qt renders it as rich text when it
// looks like markup.
QString shownText(const QString &text)
{
    return Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

// The text a row of the entity list shows first, when the row shows `name` untouched.
bool rowShowsPlainName(QListWidget *list, QListWidgetItem *item, const QString &name)
{
    if (QWidget *row = list->itemWidget(item)) {
        const auto labels = row->findChildren<QLabel *>();
        return std::any_of(labels.begin(), labels.end(), [&name](const QLabel *label) {
            return label->textFormat() == Qt::PlainText && label->text() == name;
        });
    }
    // Item texts go through the item delegate, which never reads markup.
    return item->text().section(QLatin1Char('\n'), 0, 0) == name;
}

// Sheets over a window, with the session that presents them open.
struct SheetWindow {
    QWidget window;
    SheetWindow()
    {
        window.resize(800, 800);
        window.show();
    }
};

// The blocked words sheet over a window, opened on `terms`.
struct BlockedWordsScene {
    ContentViewFixture f;
    ContentView &view = f.make();
    SheetWindow w;
    std::unique_ptr<BlockedWordsSheet> sheet;

    bool open(const QStringList &terms = {})
    {
        view.setCustomInfoFilterTerms(terms);
        view.openCustomInfoFilterSheet();
        if (!QTest::qWaitFor([this] { return bool(view.customInfoFilterSession()); }))
            return false;
        sheet = std::make_unique<BlockedWordsSheet>(view, &w.window);
        sheet->open();
        return QTest::qWaitForWindowExposed(sheet.get());
    }
};

} // namespace

class TestFilterPanels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void popover_rendersAndWritesTheFilters()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.setCustomInfoFilterTerms({"a", "b", "c"});
        SpotFiltersPopover popover(view);
        view.setFiltersPopoverPresented(true);
        popover.showBelow(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(&popover));
        QVERIFY(!child<QCheckBox>(popover, "hideQRPSpots")->isVisible());
        QVERIFY(!child<QPushButton>(popover, "clearFilters")->isEnabled());
        QCOMPARE(child<QPushButton>(popover, "customInfoFilterButton")->text(),
                 QStringLiteral("Custom (3)\u2026"));

        child<QCheckBox>(popover, "hideCWSpots")->click();
        QVERIFY(view.filterSwitch(S::hideCWSpots));
        QVERIFY(child<QPushButton>(popover, "clearFilters")->isEnabled());
        child<QCheckBox>(popover, "hiddenDXFrom_EU")->click();
        QCOMPARE(view.hiddenDXFromContinents(), QSet<QString>{"EU"});
        child<QPushButton>(popover, "hiddenDXByTitle")->click();
        QCOMPARE(view.hiddenDXByContinents().size(), 7);
        QVERIFY(child<QCheckBox>(popover, "hiddenDXBy_SA")->isChecked());

        // The allow list switched on here greys out and empties "Hide spotter from".
        child<QCheckBox>(popover, "customSpotterEntityFilterEnabled")->click();
        QVERIFY(view.hiddenDXByContinents().isEmpty());
        QVERIFY(!child<QCheckBox>(popover, "hiddenDXBy_SA")->isEnabled());
        QVERIFY(!child<QCheckBox>(popover, "hiddenDXBy_SA")->isChecked());

        f.settings.setBool(SettingsKeys::advancedMode, true);
        QVERIFY(child<QCheckBox>(popover, "hideQRPSpots")->isVisible());
        child<QPushButton>(popover, "modeShortcut")->click();
        QVERIFY(child<QCheckBox>(popover, "hideQRPSpots")->isChecked());
        savePicture(popover, "spot-filters-popover.png");

        child<QPushButton>(popover, "clearFilters")->click();
        QVERIFY(!view.hasActiveSpotFilters());
        QVERIFY(!child<QPushButton>(popover, "clearFilters")->isEnabled());
        QVERIFY(popover.isVisible());

        // Custom… closes the popover; the sheet's session follows one turn later.
        child<QPushButton>(popover, "customSpotterEntityButton")->click();
        QVERIFY(!popover.isVisible());
        QVERIFY(!view.isFiltersPopoverPresented());
        QVERIFY(!view.customSpotterEntitySession());
        QTRY_VERIFY(view.customSpotterEntitySession());
    }

    void buttons_openTheirPopovers()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        QWidget row;
        auto *filters = new FiltersButton(view, &row);
        auto *rbn = new RBNButton(view, &row);
        row.show();
        QVERIFY(QTest::qWaitForWindowExposed(&row));
        filters->click();
        QVERIFY(view.isFiltersPopoverPresented());
        QVERIFY(filters->popover()->isVisible());
        child<QPushButton>(*filters->popover(), "done")->click();
        QVERIFY(!filters->popover()->isVisible());
        // Without a DXSpider login the RBN button stays disabled and reads "RBN".
        QVERIFY(!rbn->isEnabled());
        QCOMPARE(rbn->text(), QStringLiteral("RBN"));
    }

    void bandSidebar_rowsFooterAndTicks()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        BandFiltersSidebar sidebar(view);
        sidebar.resize(190, 700);
        sidebar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sidebar));
        auto *summary = child<QLabel>(sidebar, "bandSummary");
        QCOMPARE(summary->text(), QStringLiteral("Showing all bands"));
        QTest::mouseClick(child<QPushButton>(sidebar, "group_HF"), Qt::LeftButton);
        QCOMPARE(view.selectedBands().size(), 10);
        QVERIFY(summary->text().startsWith("Showing 160m, 80m"));
        QTest::mouseClick(child<QPushButton>(sidebar, "band_Other"), Qt::LeftButton);
        QVERIFY(summary->text().endsWith("10m, Other"));
        QVERIFY(child<QLabel>(sidebar, "group_HF_check")->property("ticked").toBool());
        QVERIFY(!child<QLabel>(sidebar, "allBands_check")->property("ticked").toBool());
        QCOMPARE(child<QPushButton>(sidebar, "group_HF")->toolTip(),
                 QStringLiteral("Select or deselect all HF bands"));
        savePicture(sidebar, "band-filters-sidebar.png");
        QTest::mouseClick(child<QPushButton>(sidebar, "allBands"), Qt::LeftButton);
        QVERIFY(view.selectedBands().isEmpty());
        QCOMPARE(summary->text(), QStringLiteral("Showing all bands"));
    }

    // Return in the entry adds the term and never presses Save and Enable.
    void blockedWordsSheet_returnInTheEntryOnlyAdds()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.setCustomInfoFilterTerms({"cafe"});
        view.openCustomInfoFilterSheet();
        QTRY_VERIFY(view.customInfoFilterSession());
        QWidget window;
        window.resize(800, 800);
        window.show();
        BlockedWordsSheet sheet(view, &window);
        sheet.open();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *entry = child<QLineEdit>(sheet, "entry");
        entry->setFocus();
        QTest::keyClicks(entry, "CAFE");
        QVERIFY(!child<QPushButton>(sheet, "add")->isEnabled());
        QTest::keyClick(entry, Qt::Key_Return);
        QCOMPARE(entry->text(), QStringLiteral("CAFE"));
        entry->clear();
        QTest::keyClicks(entry, "  <b>spam</b> ");
        QTest::keyClick(entry, Qt::Key_Return);
        QCOMPARE(view.customInfoFilterDraft(), (QStringList{"cafe", "<b>spam</b>"}));
        QCOMPARE(entry->text(), QString());
        QVERIFY(sheet.isVisible());
        QVERIFY(view.customInfoFilterSession());
        QCOMPARE(view.customInfoFilterTerms(), QStringList{"cafe"});
        QCOMPARE(child<QLabel>(sheet, "entryCount")->text(), QStringLiteral("2 entries"));
        bool shownAsTyped = false;
        for (const QLabel *label : sheet.findChildren<QLabel *>()) {
            if (label->text() == QLatin1String("<b>spam</b>"))
                shownAsTyped = label->textFormat() == Qt::PlainText;
        }
        QVERIFY(shownAsTyped);
        savePicture(sheet, "blocked-words-sheet.png");
        // The row's own button removes it; the rows are rebuilt under the click.
        QTest::mouseClick(child<QToolButton>(sheet, "remove_0"), Qt::LeftButton);
        QCOMPARE(view.customInfoFilterDraft(), QStringList{"<b>spam</b>"});
        QCOMPARE(child<QLabel>(sheet, "entryCount")->text(), QStringLiteral("1 entry"));

        child<QPushButton>(sheet, "saveAndEnable")->click();
        QVERIFY(!sheet.isVisible());
        QCOMPARE(view.customInfoFilterTerms(), QStringList{"<b>spam</b>"});
        QVERIFY(view.filterSwitch(S::customInfoFilterEnabled));
    }

    // The sheet opens on an empty list with its placeholder, and goes back to it when emptied.
    void blockedWordsSheet_emptyListShowsItsPlaceholder()
    {
        BlockedWordsScene scene;
        QVERIFY(scene.open());
        ContentView &view = scene.view;
        BlockedWordsSheet &sheet = *scene.sheet;
        auto *placeholder = child<QWidget>(sheet, "noFilterEntries");
        QVERIFY(placeholder->isVisible());
        QVERIFY(!child<QListWidget>(sheet, "terms")->isVisible());
        view.setCustomInfoFilterEntry(QStringLiteral("contest"));
        view.addCustomInfoFilterTerm();
        QTRY_VERIFY(child<QListWidget>(sheet, "terms")->isVisible());
        QVERIFY(!placeholder->isVisible());
        child<QPushButton>(sheet, "clearAll")->click();
        QTRY_VERIFY(placeholder->isVisible());
    }

    // While a radius selection runs, the button shows a spinner and "Selecting…" instead of its
    // title, and is disabled.
    void entitySheet_showsASpinnerWhileSelecting()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.loadAlertEntities();
        view.openCustomSpotterEntitySheet();
        QTRY_VERIFY(view.customSpotterEntitySession());
        SheetWindow w;
        AllowedSpotterEntitiesSheet sheet(view, &w.window);
        sheet.open();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        view.setCustomSpotterHomeGrid(QStringLiteral("JO01"));
        view.setCustomSpotterRadius(QStringLiteral("100"));
        auto *select = child<QPushButton>(sheet, "selectWithinRadius");
        auto *spinner = child<QWidget>(sheet, "selectingSpinner");
        QVERIFY(!spinner->isVisible());
        select->click();
        QVERIFY(view.isSelectingCustomSpotterEntitiesAutomatically());
        QVERIFY(spinner->isVisible());
        QVERIFY(select->text().isEmpty());
        QVERIFY(!select->isEnabled());
        QVERIFY(select->rect().contains(
            spinner->geometry().translated(spinner->parentWidget()->mapTo(select, QPoint(0, 0)))));
        QTRY_VERIFY_WITH_TIMEOUT(!view.isSelectingCustomSpotterEntitiesAutomatically(), 20000);
        QVERIFY(!spinner->isVisible());
        QCOMPARE(select->text(), QStringLiteral("Select entities within radius"));
        QVERIFY(child<QLabel>(sheet, "selectionMessage")->isVisible());
    }

    void entitySheet_sectionsAndPlainNames()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.loadAlertEntities();
        f.settings.setData(SettingsKeys::customSpotterEntityADIFNumbers, "[230]");
        view.openCustomSpotterEntitySheet();
        QTRY_VERIFY(view.customSpotterEntitySession());
        QWidget window;
        window.resize(800, 800);
        window.show();
        AllowedSpotterEntitiesSheet sheet(view, &window);
        sheet.open();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *list = child<QListWidget>(sheet, "entities");
        QCOMPARE(list->item(0)->text(), QStringLiteral("Selected DXCC Entities"));
        QVERIFY(list->item(1)->text().contains(QStringLiteral("ADIF 230")));
        QCOMPARE(list->item(2)->text(), QStringLiteral("All DXCC Entities"));
        QCOMPARE(child<QLabel>(sheet, "selectedCount")->text(), QStringLiteral("1 selected"));
        QTest::keyClicks(child<QLineEdit>(sheet, "search"), "291");
        QCOMPARE(list->count(), 4);
        QVERIFY(list->item(3)->text().contains(QStringLiteral("ADIF 291")));
        list->itemClicked(list->item(3));
        QTRY_COMPARE(view.customSpotterEntityDraft(), (QSet<int>{230, 291}));
        QCOMPARE(list->item(0)->text(), QStringLiteral("Selected DXCC Entities"));
        child<QLineEdit>(sheet, "search")->clear();
        view.setCustomSpotterEntitySearch(QString());
        QVERIFY(!child<QPushButton>(sheet, "selectWithinRadius")->isEnabled());
        child<QLineEdit>(sheet, "homeGrid")->setText("jo01");
        view.setCustomSpotterHomeGrid("jo01");
        view.setCustomSpotterRadius("100");
        QVERIFY(child<QPushButton>(sheet, "selectWithinRadius")->isEnabled());
        savePicture(sheet, "allowed-spotter-entities-sheet.png");
        child<QPushButton>(sheet, "cancel")->click();
        QVERIFY(!sheet.isVisible());
        QCOMPARE(f.settings.data(SettingsKeys::customSpotterEntityADIFNumbers),
                 QByteArray("[230]"));
    }

    // Entity names come from a data file: both sections and the search results show them as
    // they stand, markup and ampersands included.
    void entitySheet_namesArePlainText()
    {
        QTemporaryDir dir;
        QFile cty(dir.filePath("cty_wt.dat"));
        QVERIFY(cty.open(QIODevice::WriteOnly));
        cty.write(
            "# ADIF 4\nAgalega & St. Brandon:    39:  53:  AF:  -10.45:   -56.67:    -4.0:  3B6:\n"
            "    3B6;\n"
            "# ADIF 901\n<b>Bold</b> Reef:   1:  1:  OC:  1.00:  1.00:  0.0:  X1:\n    X1;\n"
            "# ADIF 902\n<img src=x> Isle:   1:  1:  OC:  2.00:  2.00:  0.0:  X2:\n    X2;\n");
        cty.close();
        BundledResources::setResolverForTesting(
            [&dir](const QString &name, const QString &ext) -> std::optional<QString> {
                const QString path = dir.filePath(name + "." + ext);
                return QFile::exists(path) ? std::optional<QString>(path) : std::nullopt;
            });
        ContentViewFixture f;
        ContentView &view = f.make();
        view.loadAlertEntities();
        BundledResources::setResolverForTesting({});
        QCOMPARE(view.alertEntities().size(), 3);
        f.settings.setData(SettingsKeys::customSpotterEntityADIFNumbers, "[901]");
        view.openCustomSpotterEntitySheet();
        QTRY_VERIFY(view.customSpotterEntitySession());
        SheetWindow w;
        AllowedSpotterEntitiesSheet sheet(view, &w.window);
        sheet.open();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *list = child<QListWidget>(sheet, "entities");
        QCOMPARE(list->count(), 5);
        QVERIFY(rowShowsPlainName(list, list->item(1), "<b>Bold</b> Reef"));
        QVERIFY(rowShowsPlainName(list, list->item(3), "<img src=x> Isle"));
        QVERIFY(rowShowsPlainName(list, list->item(4), "Agalega & St. Brandon"));

        QTest::keyClicks(child<QLineEdit>(sheet, "search"), "<");
        QCOMPARE(list->count(), 4);
        QVERIFY(rowShowsPlainName(list, list->item(3), "<img src=x> Isle"));
        child<QLineEdit>(sheet, "search")->clear();
        QTest::keyClicks(child<QLineEdit>(sheet, "search"), "& st");
        QCOMPARE(list->count(), 4);
        QVERIFY(rowShowsPlainName(list, list->item(3), "Agalega & St. Brandon"));
    }

    // The remove button's tooltip names the term exactly as it was entered.
    void blockedWordsSheet_removeToolTipShowsTheTerm_data()
    {
        QTest::addColumn<QString>("term");
        QTest::newRow("plain") << "QRM";
        QTest::newRow("ampersand") << "R&D";
        QTest::newRow("markup") << "<b>spam</b>";
        QTest::newRow("escaped markup") << "a &lt; b";
        QTest::newRow("blanks inside markup") << "<i>CQ  DX</i>";
    }

    void blockedWordsSheet_removeToolTipShowsTheTerm()
    {
        QFETCH(QString, term);
        BlockedWordsScene scene;
        QVERIFY(scene.open({term}));
        QCOMPARE(shownText(child<QToolButton>(*scene.sheet, "remove_0")->toolTip()),
                 QStringLiteral("Remove ") + term);
    }

    // A pasted 10,000-character word is one row cut with "…", its remove button in view, and no
    // tooltip longer than a few wrapped lines.
    void blockedWordsSheet_longTermIsCutInItsRowAndTooltips()
    {
        const QString term(10000, u'x');
        BlockedWordsScene scene;
        QVERIFY(scene.open({term}));
        BlockedWordsSheet &sheet = *scene.sheet;
        auto *list = child<QListWidget>(sheet, "terms");
        auto *label = child<ElidedLabel>(sheet, "term_0");
        auto *remove = child<QToolButton>(sheet, "remove_0");
        QTRY_VERIFY(label->isVisible() && label->width() > 0);
        QVERIFY(label->isElided());
        const QRect removeArea(remove->mapTo(list->viewport(), QPoint(0, 0)), remove->size());
        QVERIFY(list->viewport()->rect().contains(removeArea));
        QVERIFY(!list->horizontalScrollBar()->isVisible());

        for (QWidget *widget : {static_cast<QWidget *>(label), static_cast<QWidget *>(remove)}) {
            // Wrapped at invisible breaks, not one line across the screen.
            QString tip = shownText(widget->toolTip());
            QVERIFY(tip.contains(QChar(0x200B)));
            tip.remove(QChar(0x200B));
            QCOMPARE(tip.size(), maximumToolTipLength);
            QVERIFY(tip.endsWith(u'\u2026'));
            QVERIFY(term.startsWith(tip.chopped(1).remove(QStringLiteral("Remove "))));
        }
    }

    // Minimising the window hides and shows its sheets again; that is no new opening, so the
    // draft edited so far stays.
    void sheets_keepTheirDraftAcrossAMinimise()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        SheetWindow w;
        view.openCustomInfoFilterSheet();
        QTRY_VERIFY(view.customInfoFilterSession());
        BlockedWordsSheet words(view, &w.window);
        words.open();
        QVERIFY(QTest::qWaitForWindowExposed(&words));
        view.setCustomInfoFilterEntry("QRM");
        view.addCustomInfoFilterTerm();
        const auto minimiseAndRestore = [](QWidget &sheet) {
            sheet.setWindowState(Qt::WindowMinimized);
            QTest::qWait(50);
            sheet.setWindowState(Qt::WindowNoState);
            QTest::qWait(50);
        };
        minimiseAndRestore(words);
        QCOMPARE(view.customInfoFilterDraft(), QStringList{"QRM"});
        view.cancelCustomInfoFilter();

        view.openCustomSpotterEntitySheet();
        QTRY_VERIFY(view.customSpotterEntitySession());
        AllowedSpotterEntitiesSheet entities(view, &w.window);
        entities.open();
        QVERIFY(QTest::qWaitForWindowExposed(&entities));
        view.toggleSpotterEntity(230);
        minimiseAndRestore(entities);
        QCOMPARE(view.customSpotterEntityDraft(), QSet<int>{230});
    }

    void rbnPopover_applyFollowsTheDrafts()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        RBNPopover popover(view);
        view.toggleRBNPopover();
        popover.showBelow(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(&popover));
        // Without a connection nothing can be applied or refreshed.
        QVERIFY(!child<QPushButton>(popover, "apply")->isEnabled());
        QVERIFY(!child<QPushButton>(popover, "refresh")->isEnabled());
        QVERIFY(child<QLabel>(popover, "statusUnavailable")->isVisible());
        QVERIFY(!child<QCheckBox>(popover, "mode_CW")->isEnabled());
        child<QCheckBox>(popover, "enableRBN")->click();
        QVERIFY(view.draftRBNEnabled());
        QVERIFY(child<QCheckBox>(popover, "mode_CW")->isEnabled());
        child<QPushButton>(popover, "spotTypes")->click();
        QVERIFY(child<QCheckBox>(popover, "mode_FT")->isChecked());
        savePicture(popover, "rbn-popover.png");
        child<QPushButton>(popover, "cancel")->click();
        QVERIFY(!popover.isVisible());
        QVERIFY(!view.draftRBNEnabled());
    }
};

QTEST_MAIN(TestFilterPanels)
#include "tst_FilterPanels.moc"
