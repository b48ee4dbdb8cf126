#pragma once

// A headless ContentView wired to a local Club Log stand-in, with the test account entered.

#include "../alerts/ClubLogTestSupport.h"
#include "ContentViewFixture.h"

#include "HttpClient.h"

#include <QTest>

namespace varnello::test {

inline const QList<ClubLogEntitySlotRule> oldRules{{291, {{"20m", SpotType::cw}}}};

struct ClubLogScene {
    // Declared first so that the view, which may still hold requests, goes before them.
    HttpStub stub;
    NetworkHttpClient http;
    ContentViewFixture f;
    ContentView *view = nullptr;

    explicit ClubLogScene(bool withKey = true,
                          std::optional<std::chrono::milliseconds> checkInterval = {})
    {
        stub.listen();
        f.settings.setString(SettingsKeys::clubLogCallsign, QStringLiteral(" K1ABC\n"));
        f.settings.setString(SettingsKeys::clubLogEmail, testCredentials().email);
        f.settings.setString(SettingsKeys::clubLogAppPassword, testCredentials().password);
        ClubLogService service = testService(stub);
        if (!withKey)
            service.apiKey.clear();
        ContentViewEnvironment e = f.environment(&http, service);
        if (checkInterval) {
            e.newSlotRefreshCheckInterval = *checkInterval;
            e.observeNotificationHub = true;
        }
        f.view = std::make_unique<ContentView>(e);
        view = f.view.get();
    }

    // A New Slot Alert that once looked up successfully, two hours ago.
    NewSlotAlertConfiguration storeRefreshableNewSlot(bool enabled = true)
    {
        NewSlotAlertConfiguration n;
        n.bands = {"20m", "40m"};
        n.lastSuccessfulRefresh = f.clock.now().addSecs(-7200);
        f.storeNewSlot(n, oldRules, enabled);
        return n;
    }

    void answerAll(const QByteArray &cw, const QByteArray &ssb = "{}",
                   const QByteArray &data = "{}")
    {
        stub.setResponse(chartPath(ClubLogMode::cw), HttpStub::Response::ok(cw));
        stub.setResponse(chartPath(ClubLogMode::ssb), HttpStub::Response::ok(ssb));
        stub.setResponse(chartPath(ClubLogMode::data), HttpStub::Response::ok(data));
        stub.setResponse(chartPath(ClubLogMode::mixed), HttpStub::Response::ok("{}"));
    }

    // Every chart answered empty, the CW one only after `delay`, so a refresh stays running.
    void answerAllWithSlowCwChart(std::chrono::milliseconds delay)
    {
        answerAll("{}");
        stub.setResponse(chartPath(ClubLogMode::cw),
                         HttpStub::Response{.body = "{}", .delay = delay});
    }

    // Every built-in entity worked on every band, except those listed.
    QByteArray chartWithout(const QSet<int> &missing)
    {
        view->loadAlertEntities();
        QHash<int, QHash<QString, int>> chart;
        for (const CTYEntity &entity : view->alertEntities()) {
            if (!missing.contains(entity.adifNumber))
                chart.insert(entity.adifNumber, {{"20", 1}});
        }
        return chartJson(chart);
    }

    QByteArray stored(const DataSettingKey &key) const { return f.settings.data(key); }
};

} // namespace varnello::test
