// Offscreen pictures of the table (written into the build folder, never committed) and the
// colours its alert rows are painted in.

#include "SpotTableModel.h"
#include "SpotTableTestSupport.h"

#include <QDir>
#include <QImage>
#include <QTest>
#include <QVBoxLayout>

using namespace varnello;
using namespace varnello::test;

namespace {

QList<DXSpot> realisticSpots(int count)
{
    const QStringList calls{"VP2E/K1ABC", "JA1XYZ", "ZL2AB", "EA8/G4ABC/P", "3B8CF", "K5ZD"};
    const QStringList entities{"Anguilla", "Japan", "New Zealand", "Canary Islands", "Mauritius"};
    const QStringList comments{"CQ UP 2", "", "FT8 -12 dB", "tnx QSO <b>73</b>", "599 in EU"};
    QList<DXSpot> spots;
    for (int i = 0; i < count; ++i) {
        DXSpot spot = makeSpot(i, comments.at(i % comments.size()));
        spot.callsign = calls.at(i % calls.size());
        spot.time = QStringLiteral("%1%2Z")
                        .arg(23 - i / 60 % 24, 2, 10, QLatin1Char('0'))
                        .arg(59 - i % 60, 2, 10, QLatin1Char('0'));
        spot.dxcc = i % 7 == 3 ? std::nullopt : std::optional(entities.at(i % entities.size()));
        spots.append(spot);
    }
    return spots;
}

QColor blended(const QColor &over, double alpha, const QColor &under)
{
    const auto mix = [alpha](double a, double b) { return a * alpha + b * (1 - alpha); };
    return QColor::fromRgbF(mix(over.redF(), under.redF()), mix(over.greenF(), under.greenF()),
                            mix(over.blueF(), under.blueF()));
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) <= 3 && qAbs(a.green() - b.green()) <= 3 &&
           qAbs(a.blue() - b.blue()) <= 3;
}

} // namespace

class tst_SpotTablePictures : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void alertRows_filledUnlessSelected_inBothPresets_data();
    void alertRows_filledUnlessSelected_inBothPresets();
    void networkMarkup_paintedAsTyped();
};

void tst_SpotTablePictures::alertRows_filledUnlessSelected_inBothPresets_data()
{
    QTest::addColumn<int>("preset");
    QTest::newRow("default") << int(SpotTableViewPreset::defaultView);
    QTest::newRow("small") << int(SpotTableViewPreset::small);
}

void tst_SpotTablePictures::alertRows_filledUnlessSelected_inBothPresets()
{
    QFETCH(int, preset);
    SpotTableFixture f;
    f.lotw.replaceAll({{QStringLiteral("JA1XYZ"), QDate(2026, 10, 1)},
                       {QStringLiteral("G4ABC"), QDate(2026, 3, 2)}});
    QWidget window;
    // Every column in view at its default width: a preset keeps the window inside the screen,
    // and the offscreen one is narrower than the default view.
    window.setMinimumWidth(1000);
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(8, 8, 8, 8);
    auto *view = new SpotTableView(f.environment(), &window);
    layout->addWidget(view);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    view->applyViewPreset(SpotTableViewPreset(preset));

    SpotTableInput input;
    input.spots = realisticSpots(200);
    const SpotAlertColor yellow{1.0, 0.8, 0.0};
    const SpotAlertColor green{0.35, 0.8, 0.45};
    const SpotAlertColor pink{0.95, 0.35, 0.65};
    input.highlightColorsBySpotID = {{input.spots.at(1).id, yellow},
                                     {input.spots.at(4).id, green},
                                     {input.spots.at(8).id, pink}};
    view->update(input);
    view->selectRow(6);
    QTest::qWait(100);

    const QImage image = window.grab().toImage();
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/pictures");
    QDir().mkpath(folder);
    const QString name = preset == int(SpotTableViewPreset::small) ? QStringLiteral("small")
                                                                   : QStringLiteral("default");
    QVERIFY(image.save(folder + QStringLiteral("/spot-table-") + name + QStringLiteral(".png")));

    // A selected alert row shows the selection instead of its colour.
    view->selectRow(8);
    QTest::qWait(20);
    const QImage viewport = view->viewport()->grab().toImage();
    const auto rowColour = [&](int row) {
        const QRect rect = view->visualRect(view->model()->index(row, 6));
        return viewport.pixelColor(rect.right() - 3, rect.top() + 2);
    };
    const QPalette palette = view->palette();
    // Rows 0 and 2 are even rows on the base colour, rows 1 and 3 on the alternate base.
    QVERIFY(near(rowColour(1), blended(QColor::fromRgbF(1.0, 0.8, 0.0), 0.38,
                                       palette.color(QPalette::AlternateBase))));
    QVERIFY(near(rowColour(4),
                 blended(QColor::fromRgbF(0.35, 0.8, 0.45), 0.38, palette.color(QPalette::Base))));
    QVERIFY(near(rowColour(0), palette.color(QPalette::Base)));
    QVERIFY(near(rowColour(8), palette.color(QPalette::Active, QPalette::Highlight)) ||
            near(rowColour(8), palette.color(QPalette::Inactive, QPalette::Highlight)));
}

void tst_SpotTablePictures::networkMarkup_paintedAsTyped()
{
    SpotTableFixture f;
    SpotTableView view(f.environment());
    view.resize(900, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    SpotTableInput input;
    input.spots = {makeSpot(1, QStringLiteral("<b>WW</b>")), makeSpot(2, QStringLiteral("WW"))};
    view.update(input);
    QTest::qWait(20);

    // The rightmost inked pixel of each comment cell: markup drawn as text is much wider.
    const QImage image = view.viewport()->grab().toImage();
    const int comment = spotTableColumnIndex(u"comment");
    const auto inkWidth = [&](int row) {
        const QRect cell = view.visualRect(view.model()->index(row, comment));
        const QColor background = image.pixelColor(cell.right() - 1, cell.top() + 1);
        int right = cell.left();
        for (int x = cell.left(); x < cell.right(); ++x) {
            for (int y = cell.top(); y <= cell.bottom(); ++y) {
                if (!near(image.pixelColor(x, y), background))
                    right = x;
            }
        }
        return right - cell.left();
    };
    const QFontMetrics metrics(view.font());
    QVERIFY(inkWidth(0) > metrics.horizontalAdvance(QStringLiteral("<b></b>")));
    QVERIFY(inkWidth(1) < metrics.horizontalAdvance(QStringLiteral("WW")) + 10);
}

QTEST_MAIN(tst_SpotTablePictures)
#include "tst_SpotTablePictures.moc"
