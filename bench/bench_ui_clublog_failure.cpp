// Cost of one refresh of the Club Log sheets (offscreen) while they show the failure of a lookup
// that got a 2 MiB HTML page with status 200 in place of a chart, as behind a hotel's or an
// airport's login portal: the New Slot form redrawn after a draft change (render, layout and
// paint), and the Populate sheet after a keystroke in its entity search (refresh and layout).
// "failure:0" is the same refresh with no failure shown, for comparison. A third benchmark times
// the lookup's end that puts the failure on the form: the page read and the form drawn.

#include "AppSettingsStore.h"
#include "ClubLogPopulateSheet.h"
#include "ContentView.h"
#include "HttpClient.h"
#include "NewSlotAlertSheet.h"
#include "SettingsKeys.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <memory>

using namespace varnello;

namespace {

QByteArray loginPage(qsizetype bytes)
{
    QByteArray page = "<!DOCTYPE html>\n<html>\n<head>\n<title>Hotel Wi-Fi - Log in</title>\n"
                      "<style>body { font: 14px sans-serif; }</style>\n</head>\n<body>\n";
    const QByteArray paragraph =
        "<p>Please enter your room number and surname to use the internet.</p>\n";
    while (page.size() + paragraph.size() < bytes - 15)
        page += paragraph;
    return page + "</body></html>\n";
}

// Answers every request, on the next turn of the event loop, with the same page and status 200.
class PortalClient final : public HttpClient {
public:
    QByteArray page = loginPage(2 << 20);

    RequestId get(const HttpRequest &, QObject *context, Completion done) override
    {
        QTimer::singleShot(0, context, [this, done = std::move(done)] {
            HttpResult result;
            result.status = 200;
            result.body = page;
            done(result);
        });
        return ++m_next;
    }
    void cancel(RequestId) override {}

private:
    RequestId m_next = 0;
};

struct Scene {
    AppSettingsStore settings{std::nullopt};
    PortalClient http;
    std::unique_ptr<ContentView> view;
    QWidget window;

    Scene()
    {
        settings.setString(SettingsKeys::clubLogCallsign, QStringLiteral("K1ABC"));
        settings.setString(SettingsKeys::clubLogEmail, QStringLiteral("k1abc@example.com"));
        settings.setString(SettingsKeys::clubLogAppPassword, QStringLiteral("secret"));
        ContentViewEnvironment environment;
        environment.settings = &settings;
        environment.http = &http;
        environment.clubLog.chartUrl = QUrl(QStringLiteral("http://127.0.0.1/json_dxccchart.php"));
        environment.clubLog.apiKey = QStringLiteral("0123456789abcdef0123456789abcdef01234567");
        environment.observeNotificationHub = false;
        view = std::make_unique<ContentView>(environment);
        window.resize(1200, 900);
        window.show();
    }

    // Lets the windows come on screen and finish their first layout.
    static void settle()
    {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    // Runs the event loop until the lookup has failed, or gives up after a minute.
    bool waitForFailure()
    {
        QElapsedTimer waited;
        waited.start();
        while (!view->clubLogLookupFailed() && waited.elapsed() < 60'000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        settle();
        return view->clubLogLookupFailed();
    }
};

void BM_NewSlotFormRefresh_PageFailureShown(benchmark::State &state)
{
    Scene scene;
    scene.view->openNewSlotAlertSheet();
    NewSlotAlertSheet sheet(*scene.view, &scene.window);
    sheet.open();
    scene.view->showNewSlotClubLogConfiguration();
    scene.settle();
    if (state.range(0) != 0)
        scene.view->applyNewSlotAlertDraft(true);
    if (state.range(0) != 0 && !scene.waitForFailure()) {
        state.SkipWithError("the lookup did not fail");
        return;
    }
    NewSlotAlertConfiguration draft = scene.view->newSlotAlertDraft();
    for (auto _ : state) {
        // One edit of the form: the sheet renders the draft and the failure line again.
        draft.highlightRows = !draft.highlightRows;
        scene.view->setNewSlotAlertDraft(draft);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        sheet.repaint();
    }
    state.counters["message chars"] =
        double(scene.view->clubLogLookupMessage().value_or(QString()).size());
}
BENCHMARK(BM_NewSlotFormRefresh_PageFailureShown)
    ->ArgName("failure")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

// The lookup's end itself: Refresh pressed, the page read, and the form drawn with the failure.
void BM_NewSlotFormShowsPageFailure(benchmark::State &state)
{
    Scene scene;
    scene.view->openNewSlotAlertSheet();
    NewSlotAlertSheet sheet(*scene.view, &scene.window);
    sheet.open();
    scene.view->showNewSlotClubLogConfiguration();
    scene.settle();
    for (auto _ : state) {
        scene.view->applyNewSlotAlertDraft(false);
        while (scene.view->isClubLogLookupInProgress())
            QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        sheet.repaint();
    }
    if (!scene.view->clubLogLookupFailed())
        state.SkipWithError("the lookup did not fail");
}
BENCHMARK(BM_NewSlotFormShowsPageFailure)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PopulateSearchKeystroke_PageFailureShown(benchmark::State &state)
{
    Scene scene;
    scene.view->setClubLogExplanationDelay(std::chrono::hours(1));
    scene.view->openAlertEditor(1);
    scene.view->openClubLogAlertSheet();
    scene.view->loadAlertEntities();
    ClubLogPopulateSheet sheet(*scene.view, &scene.window);
    sheet.open();
    scene.settle();
    if (state.range(0) != 0)
        scene.view->populateFromClubLog();
    if (state.range(0) != 0 && !scene.waitForFailure()) {
        state.SkipWithError("the lookup did not fail");
        return;
    }
    bool longer = false;
    for (auto _ : state) {
        // One keystroke in the entity search, typed and taken back in turn.
        longer = !longer;
        scene.view->setClubLogEntitySearch(longer ? QStringLiteral("ita") : QStringLiteral("it"));
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
}
BENCHMARK(BM_PopulateSearchKeystroke_PageFailureShown)
    ->ArgName("failure")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

} // namespace
