// Cost of the spot table at its 5,000-row cap (offscreen): a new spot in front while the operator
// reads further down (anchor kept), a burst of 50 spots taken in one refresh, a repaint of the
// visible rows, an unchanged refresh, and Copy of every row.

#include "AppSettingsStore.h"
#include "Clock.h"
#include "LoTWActivityLookup.h"
#include "SpotTableModel.h"
#include "SpotTableView.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <benchmark/benchmark.h>

#include <memory>

using namespace varnello;

namespace {

constexpr int cap = 5000;

DXSpot makeSpot(int n)
{
    DXSpot spot;
    spot.id = QUuid::createUuid();
    spot.callsign = QStringLiteral("DL%1ABC").arg(n % 1000);
    spot.spotter = QStringLiteral("W%1XY").arg(n % 100);
    spot.frequency = 14000.0 + (n % 350);
    spot.band = QStringLiteral("20m");
    spot.time = QStringLiteral("%1%2Z")
                    .arg((n / 60) % 24, 2, 10, QLatin1Char('0'))
                    .arg(n % 60, 2, 10, QLatin1Char('0'));
    spot.comment = QStringLiteral("CW 12 dB 22 WPM CQ");
    spot.dxcc = QStringLiteral("Fed. Rep. of Germany");
    return spot;
}

// A table showing a capped list, scrolled to its middle, with a few alert rows; the list grows
// at the front by `step` spots per refresh, as the window's refresh would hand it over.
struct Scene {
    AppSettingsStore settings{std::nullopt};
    LoTWActivityLookup lotw;
    std::unique_ptr<SpotTableView> view;
    SpotTableInput input;
    int next = 0;

    Scene()
    {
        LoTWActivityLookup::Table table;
        for (int n = 0; n < 1000; n += 3)
            table.insert(QStringLiteral("DL%1ABC").arg(n), QDate(2026, 6, 1));
        lotw.replaceAll(table);
        SpotTableEnvironment environment;
        environment.settings = &settings;
        environment.lotw = &lotw;
        view = std::make_unique<SpotTableView>(environment);
        view->resize(1000, 760);
        view->show();
        for (int i = 0; i < cap; ++i)
            input.spots.prepend(makeSpot(next++));
        for (int i = 0; i < cap; i += 97)
            input.highlightColorsBySpotID.insert(input.spots.at(i).id, {1.0, 0.8, 0.0});
        view->update(input);
        QCoreApplication::processEvents();
        // Row 200 and a half: far enough down to read, room for thousands of inserts above.
        view->verticalScrollBar()->setValue(200 * 22 + 11);
        QCoreApplication::processEvents();
    }

    // The next refresh's list: `step` new spots in front, the same number cut from the end.
    void advance(int step)
    {
        QList<DXSpot> spots;
        spots.reserve(cap);
        for (int i = 0; i < step; ++i)
            spots.append(makeSpot(next + step - 1 - i));
        next += step;
        spots.append(input.spots.constBegin(), input.spots.constEnd() - step);
        input.spots = std::move(spots);
    }
};

void runFrontInserts(benchmark::State &state, int step, bool paint)
{
    Scene scene;
    const int anchorRow = scene.view->rowAt(1);
    for (auto _ : state) {
        state.PauseTiming();
        scene.advance(step);
        state.ResumeTiming();
        scene.view->update(scene.input);
        if (paint)
            scene.view->viewport()->repaint();
        state.PauseTiming();
        // The deferred steps of the next turn, outside the measured refresh.
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    if (scene.view->rowAt(1) != anchorRow + step * int(state.iterations()))
        state.SkipWithError("the anchor row did not move with the inserts");
}

void BM_FrontInsertWhileScrolled(benchmark::State &state)
{
    runFrontInserts(state, 1, false);
}
BENCHMARK(BM_FrontInsertWhileScrolled)->Unit(benchmark::kMicrosecond)->Iterations(2000);

void BM_FrontInsertWhileScrolled_WithPaint(benchmark::State &state)
{
    runFrontInserts(state, 1, true);
}
BENCHMARK(BM_FrontInsertWhileScrolled_WithPaint)->Unit(benchmark::kMicrosecond)->Iterations(300);

void BM_Burst50InOneRefresh(benchmark::State &state)
{
    runFrontInserts(state, 50, false);
}
BENCHMARK(BM_Burst50InOneRefresh)->Unit(benchmark::kMicrosecond)->Iterations(60);

void BM_Burst50InOneRefresh_WithPaint(benchmark::State &state)
{
    runFrontInserts(state, 50, true);
}
BENCHMARK(BM_Burst50InOneRefresh_WithPaint)->Unit(benchmark::kMicrosecond)->Iterations(60);

// Painting the visible rows alone, as every refresh with new rows in front does.
void BM_RepaintVisibleRows(benchmark::State &state)
{
    Scene scene;
    for (auto _ : state)
        scene.view->viewport()->repaint();
}
BENCHMARK(BM_RepaintVisibleRows)->Unit(benchmark::kMicrosecond);

void BM_UnchangedRefresh(benchmark::State &state)
{
    Scene scene;
    for (auto _ : state)
        scene.view->update(scene.input);
}
BENCHMARK(BM_UnchangedRefresh)->Unit(benchmark::kMicrosecond);

void BM_Copy5000Rows(benchmark::State &state)
{
    Scene scene;
    scene.view->selectAll();
    for (auto _ : state)
        scene.view->copySelection();
    if (QGuiApplication::clipboard()->text().count(QLatin1Char('\n')) != cap - 1)
        state.SkipWithError("not every row was copied");
}
BENCHMARK(BM_Copy5000Rows)->Unit(benchmark::kMillisecond);

} // namespace
