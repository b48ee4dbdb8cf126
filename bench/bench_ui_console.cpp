// Cost of node lines reaching the console when it already holds its 5,000 lines: the
// connection's list drops its oldest lines and gains new ones, the console appends them, drops
// as many and, while shown, paints its visible part. The paint is rendered into an image, so the
// figure is the widget's own work and not the offscreen platform's copy of the window.
// Run with QT_QPA_PLATFORM=offscreen.

#include "BenchSupport.h"
#include "ConsoleView.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>

using namespace varnello;

namespace {

QString nodeLine(int i)
{
    return QStringLiteral("DX de node %1: an ordinary node line of about seventy characters, "
                          "seq %2")
        .arg(i % 97)
        .arg(i);
}

// perTurn lines arrive between two paints: 1 when every line is painted on its own, 5 at
// 100 lines/s under the window's refresh spacing of 50 ms.
void consoleAppendAtCap(benchmark::State &state, bool shown, int perTurn)
{
    ConsoleView console;
    console.resize(900, 500);
    console.setFollowsBottom(shown);
    if (shown)
        console.show();
    QList<ClusterLine> lines;
    for (int i = 0; i < ConsoleView::maximumLines; ++i)
        lines.append(ClusterLine::make(nodeLine(i)));
    console.sync(lines);
    QApplication::processEvents();
    QImage canvas(console.viewport()->size(), QImage::Format_RGB32);

    int next = ConsoleView::maximumLines;
    for (auto _ : state) {
        state.PauseTiming();
        lines.remove(0, perTurn);
        for (int i = 0; i < perTurn; ++i)
            lines.append(ClusterLine::make(nodeLine(next++)));
        state.ResumeTiming();
        console.sync(lines);
        if (shown)
            console.viewport()->render(&canvas);
    }
    state.SetItemsProcessed(state.iterations() * perTurn);
}

void BM_ConsoleLine_Hidden(benchmark::State &state)
{
    consoleAppendAtCap(state, false, 1);
}
void BM_ConsoleLine_ShownPaintedEach(benchmark::State &state)
{
    consoleAppendAtCap(state, true, 1);
}
void BM_ConsoleLine_Shown100PerSecond(benchmark::State &state)
{
    consoleAppendAtCap(state, true, 5);
}

} // namespace

BENCHMARK(BM_ConsoleLine_Hidden)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConsoleLine_ShownPaintedEach)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConsoleLine_Shown100PerSecond)->Unit(benchmark::kMicrosecond);
