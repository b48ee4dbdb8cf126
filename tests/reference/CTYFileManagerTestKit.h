#pragma once

// Shared set-up of the data-file manager tests: file helpers, a fresh data folder per test with
// bundled resources the test can change, and a manager downloading from an HttpStub on
// 127.0.0.1 with a manual clock.

#include "AppPaths.h"
#include "BundledResources.h"
#include "CTYFileManager.h"
#include "HttpStub.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace varnello::test {

inline QByteArray builtInCountryFile()
{
    QFile f(QStringLiteral(":/resources/cty_wt.dat"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The built-in country file with another release line.
inline QByteArray withRelease(QByteArray bytes, const QByteArray &release)
{
    return bytes.replace("# RELEASE 2023.05.02", "# RELEASE " + release);
}

// A LoTW activity list of `count` distinct calls, all last active on `date`.
inline QByteArray generatedList(int count, const QByteArray &date, const QByteArray &prefix = "K")
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += prefix + QByteArray::number(i) + "ABC," + date + ",12:34:56\n";
    return out;
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Base of the test classes: the members and helpers every data-file manager test uses. The
// test class calls the set-up and tear-down helpers from its own init() and cleanup().
class DataFileManagerTest : public QObject {
protected:
    QTemporaryDir m_tmp;
    QString m_folder;
    std::unique_ptr<AppPaths::Override> m_paths;
    std::unique_ptr<HttpStub> m_stub;
    std::unique_ptr<NetworkHttpClient> m_http;
    ManualClock m_clock{QDateTime(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC)};
    QMap<QString, QString> m_resources; // "name.ext" -> path; absent: no such resource
    std::chrono::milliseconds m_defaultTimeout{std::chrono::seconds(15)};

    QString countryFile() const { return m_folder + QStringLiteral("/cty_wt.dat"); }

    // A new data folder for this test function, with the built-in country file as the only
    // bundled resource.
    void useFreshDataFolder()
    {
        m_folder = m_tmp.path() + QStringLiteral("/run") +
                   QString::number(QRandomGenerator::global()->generate()) +
                   QStringLiteral("/Varnello");
        QVERIFY(QDir().mkpath(m_folder));
        m_paths = std::make_unique<AppPaths::Override>(m_folder);
        m_resources = {{QStringLiteral("cty_wt.dat"), QStringLiteral(":/resources/cty_wt.dat")}};
        BundledResources::setResolverForTesting([this](const QString &name, const QString &ext) {
            const QString key = name + QLatin1Char('.') + ext;
            return m_resources.contains(key) ? std::optional<QString>(m_resources.value(key))
                                             : std::nullopt;
        });
    }

    void startStub()
    {
        m_stub = std::make_unique<HttpStub>();
        QVERIFY(m_stub->listen());
        m_http = std::make_unique<NetworkHttpClient>();
    }

    void tearDown()
    {
        m_http.reset();
        m_stub.reset();
        BundledResources::setResolverForTesting({});
        m_paths.reset();
    }

    std::unique_ptr<CTYFileManager> makeManager() { return makeManager(m_defaultTimeout); }

    std::unique_ptr<CTYFileManager> makeManager(std::chrono::milliseconds timeout)
    {
        CTYFileManager::Dependencies deps;
        deps.http = m_http.get();
        deps.clock = &m_clock;
        deps.endpoints = CTYFileManager::Endpoints::withBases(m_stub->baseUrl(), m_stub->baseUrl());
        deps.timeouts = {timeout, timeout, timeout};
        return std::make_unique<CTYFileManager>(deps);
    }

    // Runs one of the manager's install operations to its end and gives its failure, if any.
    std::optional<DataFileFailure> run(CTYFileManager &m,
                                       void (CTYFileManager::*op)(CTYFileManager::Completion))
    {
        bool finished = false;
        std::optional<DataFileFailure> failure;
        (m.*op)([&](const std::optional<DataFileFailure> &f) {
            finished = true;
            failure = f;
        });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(finished, 30000); }();
        return failure;
    }
};

} // namespace varnello::test
