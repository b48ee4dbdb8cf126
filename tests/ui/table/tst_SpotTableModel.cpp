// The rows of the spot table: structural changes, redraws, cell texts and tooltips.

#include "SpotTableColumns.h"
#include "SpotTableModel.h"
#include "SpotTableTestSupport.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

using namespace varnello;
using namespace varnello::test;

namespace {

// What a tooltip shows on screen: QToolTip reads text that might be rich text as HTML.
QString shownToolTip(const QVariant &tooltip)
{
    QTextDocument document;
    if (!Qt::mightBeRichText(tooltip.toString()))
        return tooltip.toString();
    document.setHtml(tooltip.toString());
    return document.toPlainText();
}

QPair<int, int> changedRows(const QSignalSpy &spy, int signal = 0)
{
    return {spy.at(signal).at(0).value<QModelIndex>().row(),
            spy.at(signal).at(1).value<QModelIndex>().row()};
}

} // namespace

class tst_SpotTableModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void frontInsertion_insertsAndCutsTail_passesModelTester();
    void prependedRows_sameRowsAndColoursAsAReload();
    void contentChangedUnderSameID_redrawsThoseRows_data();
    void contentChangedUnderSameID_redrawsThoseRows();
    void cells_data();
    void cells();
    void networkText_isShownAsTyped_data();
    void networkText_isShownAsTyped();
    void lotwMark_followsReload();
    void smallPresentation_fontsTwoPixelsSmallerNotBelowTen();
};

void tst_SpotTableModel::frontInsertion_insertsAndCutsTail_passesModelTester()
{
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QList<DXSpot> old = makeSpots(5);
    model.insertAtFront(old, *frontInsertionChange({}, old));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    const QList<DXSpot> next = makeSpots(3, 5) + old.mid(0, 2);
    model.insertAtFront(next, *frontInsertionChange(old, next));
    QCOMPARE(resets.count(), 0);
    QCOMPARE((QList<int>{removed.at(0).at(1).toInt(), removed.at(0).at(2).toInt()}),
             (QList<int>{2, 4}));
    QCOMPARE((QList<int>{inserted.at(0).at(1).toInt(), inserted.at(0).at(2).toInt()}),
             (QList<int>{0, 2}));
    for (int row = 0; row < next.size(); ++row)
        QCOMPARE(model.spotAt(row).id, next.at(row).id);

    // The other changes, for the tester.
    model.replaceContent(next);
    model.setHighlightColors({{next.at(0).id, {1, 0, 0}}});
    model.setShowsLocalTime(true);
    model.setShowLoTWOnly(true);
    model.reloadLoTW();
    model.reloadSpots({});
}

// The rows the window hands over as new ones in front of kept rows end as the whole new list
// would, without a reset or a redraw of the kept rows.
void tst_SpotTableModel::prependedRows_sameRowsAndColoursAsAReload()
{
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QList<DXSpot> old = makeSpots(5);
    const SpotAlertColor red{1, 0, 0};
    const SpotAlertColor blue{0, 0, 1};
    model.reloadSpots(old);
    model.setHighlightColors({{old.at(1).id, red}, {old.at(4).id, red}});
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    const QList<DXSpot> inserted = makeSpots(2, 5);
    model.prependRows(inserted, 3, {{inserted.at(0).id, blue}});
    const QList<DXSpot> next = inserted + old.mid(0, 3);
    SpotTableModel reloaded(f.lotw, f.clock);
    reloaded.reloadSpots(next);
    reloaded.setHighlightColors({{inserted.at(0).id, blue}, {old.at(1).id, red}});
    QCOMPARE(model.rowCount(), next.size());
    for (int row = 0; row < next.size(); ++row) {
        QCOMPARE(model.spotAt(row).id, next.at(row).id);
        const QModelIndex index = model.index(row, 0);
        QCOMPARE(index.data(Qt::BackgroundRole), reloaded.index(row, 0).data(Qt::BackgroundRole));
    }
    QCOMPARE(resets.count(), 0);
    QCOMPARE(changed.count(), 0);
}

void tst_SpotTableModel::contentChangedUnderSameID_redrawsThoseRows_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("withFrontInsert");
    QTest::newRow("entity after a new country file") << "dxcc" << false;
    QTest::newRow("entity lost") << "nodxcc" << false;
    QTest::newRow("comment") << "comment" << false;
    QTest::newRow("frequency") << "frequency" << false;
    QTest::newRow("entity, with new spots in front") << "dxcc" << true;
}

void tst_SpotTableModel::contentChangedUnderSameID_redrawsThoseRows()
{
    QFETCH(QString, field);
    QFETCH(bool, withFrontInsert);
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    const QList<DXSpot> old = makeSpots(8);
    model.reloadSpots(old);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.replaceContent(QList<DXSpot>(old));
    QCOMPARE(changed.count(), 0);

    const int inserted = withFrontInsert ? 2 : 0;
    QList<DXSpot> relooked = makeSpots(inserted, 100) + old;
    for (const int row : {2 + inserted, 5 + inserted}) {
        DXSpot &spot = relooked[row];
        if (field == u"dxcc")
            spot.dxcc = QStringLiteral("Canada");
        else if (field == u"nodxcc")
            spot.dxcc.reset();
        else if (field == u"comment")
            spot.comment += QLatin1Char('!');
        else
            spot.frequency += 0.1;
    }
    if (withFrontInsert)
        model.insertAtFront(relooked, *frontInsertionChange(old, relooked));
    else
        model.replaceContent(relooked);

    QCOMPARE(changed.count(), 1);
    QCOMPARE(changedRows(changed), qMakePair(2 + inserted, 5 + inserted));
    const QString entity =
        model.index(2 + inserted, spotTableColumnIndex(u"dxcc")).data().toString();
    if (field == u"dxcc")
        QCOMPARE(entity, QStringLiteral("Canada"));
    if (field == u"nodxcc")
        QCOMPARE(entity, QStringLiteral("—"));
}

void tst_SpotTableModel::cells_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<int>("alignment");

    const int left = Qt::AlignLeft | Qt::AlignVCenter;
    QTest::newRow("time") << "time"
                          << "0905Z"
                          << "" << left;
    QTest::newRow("dx") << "dx"
                        << "K1ABC"
                        << "" << left;
    QTest::newRow("frequency") << "frequency"
                               << "14,025.0"
                               << "" << int(Qt::AlignRight | Qt::AlignVCenter);
    QTest::newRow("comment empty") << "comment"
                                   << ""
                                   << "No comment" << left;
    QTest::newRow("dxcc missing") << "dxcc"
                                  << "—"
                                  << "DXCC entity not found" << left;
    QTest::newRow("lotw none") << "lotw"
                               << ""
                               << "No LoTW upload within the last year"
                               << int(Qt::AlignHCenter | Qt::AlignVCenter);
}

void tst_SpotTableModel::cells()
{
    QFETCH(QString, column);
    QFETCH(QString, text);
    QFETCH(QString, tooltip);
    QFETCH(int, alignment);
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    DXSpot spot = makeSpot(1, QString(""));
    spot.callsign = QStringLiteral("K1ABC");
    spot.frequency = 14025;
    spot.time = QStringLiteral("0905Z");
    spot.dxcc.reset();
    model.reloadSpots({spot});

    const QModelIndex index = model.index(0, spotTableColumnIndex(column));
    QCOMPARE(index.data().toString(), text);
    QCOMPARE(shownToolTip(index.data(Qt::ToolTipRole)), tooltip);
    QCOMPARE(index.data(Qt::TextAlignmentRole).toInt(), alignment);
}

void tst_SpotTableModel::networkText_isShownAsTyped_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::newRow("comment with markup") << "comment"
                                         << "<b>x</b><img src=/etc/passwd>";
    QTest::newRow("comment with entities") << "comment"
                                           << "5&9 &amp; <br> up";
    QTest::newRow("comment with double spaces") << "comment"
                                                << "TNX  QSO   73";
    QTest::newRow("entity name with markup") << "dxcc"
                                             << "<i>Fake</i> Land";
    QTest::newRow("call with markup") << "dx"
                                      << "<u>K1ABC</u>";
}

void tst_SpotTableModel::networkText_isShownAsTyped()
{
    QFETCH(QString, column);
    QFETCH(QString, text);
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    DXSpot spot = makeSpot(1);
    (column == u"comment" ? spot.comment : column == u"dx" ? spot.callsign : *spot.dxcc) = text;
    model.reloadSpots({spot});

    const QModelIndex index = model.index(0, spotTableColumnIndex(column));
    QCOMPARE(index.data().toString(), text);
    if (const QVariant tooltip = index.data(Qt::ToolTipRole); tooltip.isValid())
        QCOMPARE(shownToolTip(tooltip), text);
}

void tst_SpotTableModel::lotwMark_followsReload()
{
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    DXSpot spot = makeSpot(1);
    spot.callsign = QStringLiteral("EA8/G4ABC/P");
    model.reloadSpots({spot});
    const QModelIndex lotw = model.index(0, spotTableColumnIndex(u"lotw"));
    QCOMPARE(lotw.data().toString(), QString());

    f.lotw.replaceAll({{QStringLiteral("G4ABC"), QDate(2026, 1, 5)}});
    model.reloadLoTW();
    QCOMPARE(lotw.data().toString(), QStringLiteral("✓"));
    QCOMPARE(shownToolTip(lotw.data(Qt::ToolTipRole)),
             QStringLiteral("Last LoTW upload: ") + *f.lotw.lastUploadText(u"G4ABC"));
}

void tst_SpotTableModel::smallPresentation_fontsTwoPixelsSmallerNotBelowTen()
{
    SpotTableFixture f;
    const QFont original = QGuiApplication::font();
    for (const auto &[size, small] : {std::pair{15, 13}, std::pair{11, 10}, std::pair{9, 10}}) {
        QFont font = original;
        font.setPixelSize(size);
        QGuiApplication::setFont(font);
        SpotTableModel model(f.lotw, f.clock);
        model.reloadSpots(makeSpots(1));
        const auto fontOf = [&model](int column) {
            return model.index(0, column).data(Qt::FontRole).value<QFont>();
        };
        QCOMPARE(fontOf(3).pixelSize(), size);
        model.setSmallPresentation(true);
        for (int column = 0; column < spotTableColumnCount; ++column)
            QCOMPARE(fontOf(column).pixelSize(), small);
        QCOMPARE(fontOf(spotTableColumnIndex(u"dx")).weight(), QFont::Medium);
    }
    QGuiApplication::setFont(original);
}

QTEST_MAIN(tst_SpotTableModel)
#include "tst_SpotTableModel.moc"
