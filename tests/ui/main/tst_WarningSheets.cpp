// The node warning sheets, the alerts and the presenter that shows one at a time.
#include "MainWindowKit.h"

#include "SheetPresenter.h"
#include "UnsupportedClusterWarningView.h"
#include "UpstreamFilterWarningView.h"
#include "ClusterConnectionTestAccess.h"

#include <QMessageBox>

using namespace varnello;
using namespace varnello::test;
using Access = ClusterConnectionTestAccess;
using Presentation = SheetPresenter::Presentation;

Q_DECLARE_METATYPE(varnello::ClusterNodeType)

namespace {

struct Calls {
    QStringList names;
    UnsupportedClusterWarningView::Actions nodeActions()
    {
        return {[this] { names.append(QStringLiteral("fix")); },
                [this] { names.append(QStringLiteral("continue")); },
                [this] { names.append(QStringLiteral("always")); }};
    }
    UpstreamFilterWarningView::Actions filterActions()
    {
        return {[this] { names.append(QStringLiteral("yes")); },
                [this] { names.append(QStringLiteral("never")); },
                [this] { names.append(QStringLiteral("no")); }};
    }
};

QString labelTexts(QWidget *widget)
{
    QStringList texts;
    for (QLabel *label : widget->findChildren<QLabel *>()) {
        // Icon labels hold no text.
        if (label->textFormat() != Qt::PlainText && !label->text().isEmpty())
            return QStringLiteral("rich text label: ") + label->objectName();
        texts.append(label->text());
    }
    return texts.join(u'\n');
}

} // namespace

class WarningSheetsTest : public QObject {
    Q_OBJECT

private slots:
    void sheetWidth_byLineCountAndLength_data()
    {
        QTest::addColumn<QStringList>("filters");
        QTest::addColumn<int>("width");
        const QString l47(47, u'x');
        // 47 user-perceived characters, each an "e" with a combining accent (94 code units).
        QString accented;
        for (int i = 0; i < 47; ++i)
            accented += QStringLiteral("e\u0301");
        QTest::newRow("none") << QStringList{} << 520;
        QTest::newRow("three of 47") << QStringList{l47, l47, l47} << 520;
        QTest::newRow("four short") << QStringList{"a", "b", "c", "d"} << 760;
        QTest::newRow("one of 48") << QStringList{l47 + u'x'} << 760;
        QTest::newRow("47 accented characters") << QStringList{accented} << 520;
    }

    void sheetWidth_byLineCountAndLength()
    {
        QFETCH(QStringList, filters);
        QTEST(UpstreamFilterWarningView::sheetWidth(filters), "width");
        Calls calls;
        UpstreamFilterWarningView view(filters, calls.filterActions());
        QTEST(view.width(), "width");
    }

    void unsupportedNode_keysAndButtons_data()
    {
        QTest::addColumn<ClusterNodeType>("type");
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("called");
        QTest::addColumn<QString>("addressLine");
        QTest::newRow("CC Cluster, Return") << ClusterNodeType::ccCluster << int(Qt::Key_Return)
                                            << QStringList{"fix"} << "Connected to <b>h</b>:7300";
        QTest::newRow("CC Cluster, Escape")
            << ClusterNodeType::ccCluster << int(Qt::Key_Escape) << QStringList{"continue"}
            << "Connected to <b>h</b>:7300";
        QTest::newRow("AR-Cluster, Return") << ClusterNodeType::arCluster << int(Qt::Key_Return)
                                            << QStringList{"fix"} << "Detected at <b>h</b>:7300";
        QTest::newRow("unrecognised, Escape") << ClusterNodeType::other << int(Qt::Key_Escape)
                                              << QStringList{} << "Detected at <b>h</b>:7300";
    }

    void unsupportedNode_keysAndButtons()
    {
        QFETCH(ClusterNodeType, type);
        QFETCH(int, key);
        Calls calls;
        UnsupportedClusterWarningView view({type, QStringLiteral("<b>h</b>"), 7300},
                                           calls.nodeActions());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.width(), 670);
        QTEST(view.findChild<QLabel *>(QStringLiteral("nodeAddress"))->text(), "addressLine");
        QVERIFY(!labelTexts(&view).startsWith(QLatin1String("rich text")));
        QTest::keyClick(&view, Qt::Key(key));
        QTEST(calls.names, "called");
        // The sheet never closes itself.
        QVERIFY(view.isVisible());

        const bool cc = type == ClusterNodeType::ccCluster;
        QCOMPARE(view.findChildren<QPushButton *>().size(), cc ? 3 : 1);
        if (cc) {
            view.findChild<QPushButton *>(QStringLiteral("continueAndDontAskAgainButton"))->click();
            QCOMPARE(calls.names.constLast(), QStringLiteral("always"));
        } else {
            QCOMPARE(view.findChild<QPushButton *>(QStringLiteral("fixButton"))->text(),
                     QStringLiteral("Continue"));
        }
    }

    void upstreamFilters_keysButtonsAndLines()
    {
        Calls calls;
        const QStringList lines{QStringLiteral("filter1 accept on hf/cw"),
                                QStringLiteral("<img src=x>")};
        UpstreamFilterWarningView view(lines, calls.filterActions());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.findChild<QLabel *>(QStringLiteral("filterLines"))->text(),
                 QStringLiteral("filter1 accept on hf/cw\n<img src=x>"));
        QVERIFY(!labelTexts(&view).startsWith(QLatin1String("rich text")));
        QTest::keyClick(&view, Qt::Key_Return);
        QTest::keyClick(&view, Qt::Key_Escape);
        view.findChild<QPushButton *>(QStringLiteral("noAndDontAskAgainButton"))->click();
        QCOMPARE(calls.names, (QStringList{"yes", "no", "never"}));
        QVERIFY(view.isVisible());
    }

    void presenter_showsOneAtATimeInOrder()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        SheetPresenter &presenter = kit.window->presenter();
        Access::setSubmissionMessage(kit.cluster(), QStringLiteral("<img src=x>"));
        Access::setFilterLines(kit.cluster(), QStringList{QStringLiteral("filter1 reject on 6m")});
        kit.view->openAlertEditor(0);
        QTRY_COMPARE(presenter.current(), std::optional(Presentation::alertEditor));

        // Closing the editor brings the next one still wanted.
        presenter.currentDialog()->reject();
        QVERIFY(!kit.view->alertEditorSession());
        QTRY_COMPARE(presenter.current(), std::optional(Presentation::upstreamFilters));
        // "No": the connection clears the lines, which closes the sheet; the alert follows.
        QTest::keyClick(presenter.currentDialog(), Qt::Key_Escape);
        QVERIFY(!kit.cluster().upstreamFilterWarningLines());
        QTRY_COMPARE(presenter.current(), std::optional(Presentation::spotSubmission));

        auto *box = qobject_cast<QMessageBox *>(presenter.currentDialog());
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Unable to send spot"));
        QCOMPARE(box->informativeText(), QStringLiteral("<img src=x>"));
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QVERIFY(!labelTexts(box).startsWith(QLatin1String("rich text")));
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(!kit.cluster().spotSubmissionAlertMessage());
        QTRY_VERIFY(!presenter.currentDialog());
    }

    void presenter_closesASheetWhoseStateWentAway_andShowsANewValue()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        SheetPresenter &presenter = kit.window->presenter();
        Access::setWarning(kit.cluster(),
                           ClusterNodeWarning{ClusterNodeType::ccCluster, QStringLiteral("a"), 1});
        QTRY_COMPARE(presenter.current(), std::optional(Presentation::unsupportedNode));
        QPointer<QDialog> first = presenter.currentDialog();
        Access::setWarning(kit.cluster(),
                           ClusterNodeWarning{ClusterNodeType::other, QStringLiteral("b"), 2});
        QTRY_VERIFY(presenter.currentDialog() && presenter.currentDialog() != first);
        QVERIFY(presenter.currentDialog()
                    ->findChild<QLabel *>(QStringLiteral("nodeAddress"))
                    ->text()
                    .endsWith(QLatin1String("b:2")));
        Access::setWarning(kit.cluster(), std::nullopt);
        QTRY_VERIFY(!presenter.currentDialog());
        QVERIFY(!presenter.current());
    }

    void duplicateLoginAlert_reconnectsWithTheSuggestedCallsign_data()
    {
        QTest::addColumn<bool>("reconnect");
        QTest::newRow("Use … and Reconnect") << true;
        QTest::newRow("Cancel") << false;
    }

    void duplicateLoginAlert_reconnectsWithTheSuggestedCallsign()
    {
        QFETCH(bool, reconnect);
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        QVERIFY(kit.logIn(QStringLiteral("N0CALL-3")));
        kit.net.node.sendLine(
            QStringLiteral("Reconnected as N0CALL-3 at 192.0.2.10, this instance is disconnected"));
        kit.net.node.closeConnection();
        SheetPresenter &presenter = kit.window->presenter();
        QTRY_COMPARE_WITH_TIMEOUT(presenter.current(), std::optional(Presentation::autoReconnect),
                                  10000);
        auto *box = qobject_cast<QMessageBox *>(presenter.currentDialog());
        QCOMPARE(box->text(), QStringLiteral("Another connection is using this callsign"));
        QVERIFY(box->informativeText().contains(QLatin1String("came from 192.0.2.10.")));
        auto *button = box->findChild<QPushButton *>(QStringLiteral("reconnectButton"));
        QCOMPARE(button->text(), QStringLiteral("Use N0CALL-22 and Reconnect"));

        if (reconnect) {
            button->click();
        } else {
            // Until the box is the active window, the main window's own Escape shortcut takes
            // the key; a loaded machine activates it late.
            QVERIFY(QTest::qWaitForWindowActive(box));
            QTest::keyClick(box, Qt::Key_Escape);
        }
        // Escape presses the box's escape button with a short animated click.
        QTRY_VERIFY(!kit.cluster().autoReconnectController().alert());
        QTRY_VERIFY(!kit.cluster().autoReconnectController().isIncidentBeingHandled());
        QCOMPARE(kit.settings().string(SettingsKeys::clusterCallsign),
                 reconnect ? QStringLiteral("N0CALL-22") : QStringLiteral("N0CALL-3"));
        if (reconnect)
            QTRY_COMPARE_WITH_TIMEOUT(kit.net.node.loginCallsign(1), QStringLiteral("N0CALL-22"),
                                      10000);
        QTRY_VERIFY(!presenter.currentDialog());
    }
};

QTEST_MAIN(WarningSheetsTest)
#include "tst_WarningSheets.moc"
