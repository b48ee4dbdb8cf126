#include "../../content/ClubLogScene.h"
#include "AlertSheetTestSupport.h"
#include "AlertWidgetTestSupport.h"

#include "AlertEditorSheet.h"
#include "ClubLogExplanationSheet.h"
#include "ClubLogPopulateSheet.h"
#include "EntityPickerList.h"
#include "HttpClient.h"
#include "NewSlotAlertSheet.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

struct PopulateScene : ClubLogScene {
    SheetHost host;
    std::unique_ptr<AlertEditorSheet> editor;

    PopulateScene() { view->setClubLogExplanationDelay(20ms); }

    // The editor of slot 1, then "Club Log…".
    ClubLogPopulateSheet *openSheet()
    {
        view->openAlertEditor(1);
        editor = std::make_unique<AlertEditorSheet>(*view, &host.window);
        editor->open();
        QTest::qWait(0);
        QTest::mouseClick(findNamed<QPushButton>(editor.get(), "clubLog"), Qt::LeftButton);
        (void)QTest::qWaitFor(
            [this] { return editor->populateSheet() && editor->populateSheet()->isVisible(); });
        return editor->populateSheet();
    }
};

} // namespace

class tst_ClubLogPopulateSheet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void explanation_opensOverTheSheetAndOkClosesIt()
    {
        PopulateScene s;
        ClubLogPopulateSheet *sheet = s.openSheet();
        QTRY_VERIFY(sheet->explanation() && sheet->explanation()->isVisible());
        savePicture(sheet->explanation(), "club-log-explanation");
        QTest::mouseClick(findNamed<QPushButton>(sheet->explanation(), "ok"), Qt::LeftButton);
        QTRY_VERIFY(!sheet->explanation());
        QVERIFY(!s.view->isClubLogExplanationPresented());
        QVERIFY(sheet->isVisible());
    }

    void defaults_thenApplyDisabledInFlight_andASuccessClosesTheSheet()
    {
        PopulateScene s;
        s.f.settings.setBool(SettingsKeys::clubLogPopulateExplanationDismissed, true);
        ClubLogPopulateSheet *sheet = s.openSheet();
        QTest::qWait(10);
        QVERIFY(findNamed<QCheckBox>(sheet, "notWorked")->isChecked());
        QVERIFY(findNamed<QCheckBox>(sheet, "clubLogMode:mixed")->isChecked());
        QVERIFY(findNamed<QCheckBox>(sheet, "clubLogBand:13cm")->isChecked());
        QCOMPARE(findNamed<QLabel>(sheet, "entitySummary")->text(),
                 QStringLiteral("All DXCC entities"));
        QVERIFY(!findNamed<QPushButton>(sheet, "clearSelection")->isEnabled());

        s.stub.setResponse(chartPath(ClubLogMode::mixed),
                           HttpStub::Response{.body = "{}", .delay = 300ms});
        auto *apply = findNamed<QPushButton>(sheet, "apply");
        QTest::mouseClick(apply, Qt::LeftButton);
        QTRY_VERIFY(!apply->isEnabled());
        QVERIFY(findNamed<QLabel>(sheet, "lookupProgress")->isVisible());
        // Every entity needed: a catch-all alert for all of them.
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogAlertSheetPresented(), 20000);
        QTRY_VERIFY(!s.editor->populateSheet());
        QCOMPARE(s.view->alertDraft().selectedEntityADIFNumbers.size(),
                 s.view->alertEntities().size());
        QCOMPARE(s.stub.totalRequestCount(), 1);
    }

    void clubLogText_isPlainText_andPictureWithAResult()
    {
        PopulateScene s;
        s.f.settings.setBool(SettingsKeys::clubLogPopulateExplanationDismissed, true);
        ClubLogPopulateSheet *sheet = s.openSheet();
        QTest::qWait(10);
        auto *list = findNamed<QListWidget>(sheet, "entityList");
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->data(EntityPickerList::adifRole).toInt() == 230) {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  list->visualItemRect(list->item(i)).center());
                break;
            }
        }
        clickBox(findNamed<QCheckBox>(sheet, "clubLogMode:cw"));
        clickBox(findNamed<QCheckBox>(sheet, "notConfirmed"));
        QTest::qWait(10);
        QCOMPARE(findNamed<QLabel>(sheet, "entitySummary")->text(), QStringLiteral("1 selected"));
        QCOMPARE(list->item(0)->text(), QStringLiteral("Selected DXCC Entities"));

        s.stub.setResponse(chartPath(ClubLogMode::cw),
                           HttpStub::Response::ok("<img src=x onerror=alert(1)> Account <b>locked"
                                                  "</b> until tomorrow, please try again later "
                                                  "or ask the Club Log helpdesk for assistance "
                                                  "with this account and its settings."));
        QTest::mouseClick(findNamed<QPushButton>(sheet, "apply"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(s.view->clubLogLookupFailed(), 20000);
        QTest::qWait(10);
        auto *message = findNamed<QLabel>(sheet, "lookupMessage");
        QVERIFY(message->isVisible());
        QCOMPARE(message->textFormat(), Qt::PlainText);
        QVERIFY(message->text().startsWith(
            QStringLiteral("Club Log returned an error: <img src=x onerror=alert(1)>")));
        // At most three lines; longer replies are cut, as the page cases below show.
        QVERIFY(message->text().count(QLatin1Char('\n')) <= 2);
        QVERIFY(message->width() <= findNamed<QWidget>(sheet, "lookupStatus")->width());
        savePicture(findNamed<QWidget>(sheet, "populateContent"), "club-log-populate-result");
    }

    void clubLogPage_staysWithinThreeLinesOfTheColumn_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::newRow("line breaks") << QByteArray("Account locked\n\nOne\r\nTwo\nThree\nFour");
        QTest::newRow("one long token") << QByteArray(400, 'W');
        QTest::newRow("2 MiB login page") << loginPage(2 << 20);
    }
    void clubLogPage_staysWithinThreeLinesOfTheColumn()
    {
        QFETCH(QByteArray, page);
        PopulateScene s;
        s.f.settings.setBool(SettingsKeys::clubLogPopulateExplanationDismissed, true);
        ClubLogPopulateSheet *sheet = s.openSheet();
        s.stub.setResponse(chartPath(ClubLogMode::mixed), HttpStub::Response::ok(page));
        QTest::mouseClick(findNamed<QPushButton>(sheet, "apply"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(s.view->clubLogLookupFailed(), 20000);
        QTest::qWait(10);
        auto *message = findNamed<QLabel>(sheet, "lookupMessage");
        const QString shown = message->text();
        QVERIFY2(shown.count(QLatin1Char('\n')) <= 2, qPrintable(shown));
        QVERIFY(!shown.contains(QLatin1Char('\r')));
        QVERIFY(shown.startsWith(QStringLiteral("Club Log returned an error:")));
        const int room = findNamed<QWidget>(sheet, "lookupStatus")->width();
        for (const QString &line : shown.split(QLatin1Char('\n')))
            QVERIFY2(message->fontMetrics().horizontalAdvance(line) <= room, qPrintable(line));
        // The tooltip holds the one sentence kept of the reply, not the page, cut to 300
        // characters.
        const QString tip = shownToolTip(message->toolTip());
        QVERIFY(tip.size() <= 300);
        QVERIFY(s.view->clubLogLookupMessage()->startsWith(tip.chopped(tip.endsWith(u'\u2026'))));
    }

    // A refusal met here belongs to this sheet: the New Slot form opened next shows no failure.
    void refusalHere_isNotShownInTheNewSlotForm()
    {
        PopulateScene s;
        s.f.settings.setBool(SettingsKeys::clubLogPopulateExplanationDismissed, true);
        ClubLogPopulateSheet *sheet = s.openSheet();
        s.stub.setResponse(chartPath(ClubLogMode::mixed),
                           HttpStub::Response::withStatus(403, "<html>Forbidden</html>"));
        QTest::mouseClick(findNamed<QPushButton>(sheet, "apply"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(s.view->clubLogLookupFailed(), 20000);
        QTRY_VERIFY(findNamed<QLabel>(sheet, "lookupMessage")->isVisible());
        QTest::keyClick(sheet, Qt::Key_Escape);
        QTRY_VERIFY(!s.editor->populateSheet());
        QTest::keyClick(s.editor.get(), Qt::Key_Escape);
        QTRY_VERIFY(!s.editor->isVisible());

        s.view->openNewSlotAlertSheet();
        auto *newSlot = new NewSlotAlertSheet(*s.view, &s.host.window);
        newSlot->setAttribute(Qt::WA_DeleteOnClose);
        newSlot->open();
        QTRY_VERIFY(newSlot->isVisible());
        QTest::mouseClick(findNamed<QPushButton>(newSlot, "newSlotClubLogButton"), Qt::LeftButton);
        auto *failure = findNamed<QLabel>(newSlot, "newSlotFailureLabel");
        QTRY_VERIFY(findNamed<QWidget>(newSlot, "newSlotFormFace")->isVisible());
        QVERIFY(!failure->isVisible());
        QVERIFY(failure->text().isEmpty());
        QVERIFY(!s.view->clubLogLookupFailed());
        newSlot->reject();
    }

    void escapeCloses_andTheEditorStaysOpen()
    {
        PopulateScene s;
        s.f.settings.setBool(SettingsKeys::clubLogPopulateExplanationDismissed, true);
        ClubLogPopulateSheet *sheet = s.openSheet();
        QTest::keyClick(sheet, Qt::Key_Escape);
        QVERIFY(!s.view->isClubLogAlertSheetPresented());
        QTRY_VERIFY(!s.editor->populateSheet());
        QVERIFY(s.editor->isVisible());
        QVERIFY(s.view->alertEditorSession());
    }
};

QTEST_MAIN(tst_ClubLogPopulateSheet)
#include "tst_ClubLogPopulateSheet.moc"
