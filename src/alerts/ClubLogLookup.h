#pragma once

#include "AlertModel.h"
#include "HttpClient.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace varnello {

// One mode's DXCC chart: entity ADIF number (decimal text) -> Club Log band key -> status.
using ClubLogDXCCChart = QHash<QString, QHash<QString, qint64>>;
using ClubLogCharts = QHash<ClubLogMode, ClubLogDXCCChart>;

// Why a Club Log lookup gave no chart. The first four kinds are the service's answers; transport
// is a request that got no HTTP answer; noApiKey is a build without a Club Log key.
struct ClubLogLookupError {
    enum class Kind { httpError, clubLogError, invalidResponse, invalidJSON, transport, noApiKey };
    Kind kind = Kind::invalidResponse;
    int statusCode = 0;
    std::optional<QString> responseText; // httpError: the reply's first line of words
    QString text;                        // clubLogError: a short line, never a whole page
    HttpErrorKind transportError = HttpErrorKind::none;

    static ClubLogLookupError httpError(int statusCode, std::optional<QString> responseText);
    static ClubLogLookupError clubLogError(QString text);
    static ClubLogLookupError transport(HttpErrorKind kind);

    // The sentence shown for the service's answers (the first four kinds).
    QString message() const;
    bool operator==(const ClubLogLookupError &) const = default;
};

// The sentence shown for any failed lookup.
QString clubLogLookupFailureMessage(const ClubLogLookupError &error);

// Tags replaced by blanks, runs of white space by one blank, then trimmed.
QString cleanClubLogErrorText(const QString &text);

// The most characters of a reply's text that any failure sentence quotes.
inline constexpr qsizetype clubLogExcerptLength = 200;

// The first line of words of a reply (tags, scripts, styles and comments dropped, character
// references decoded), cut to about clubLogExcerptLength characters; only the start is read.
QString clubLogReplyExcerpt(const QString &page);

// The Club Log band key of a band name ("20m" -> "20", "70cm" -> "0.7"); nothing for other names.
std::optional<QString> clubLogBandKey(const QString &band);

// The mode digit of a chart request: mixed 0, cw 1, ssb 2, data 3.
int clubLogModeDigit(ClubLogMode mode);

struct ClubLogCredentials {
    QString callsign;
    QString email;
    QString password;
};

// Where the charts come from: the service address, this build's API key and the time-out.
struct ClubLogService {
    QUrl chartUrl;
    QString apiKey;
    std::chrono::milliseconds timeout{30'000};
    // Bodies larger than this are no chart of this world.
    qint64 maximumBodyBytes = 8 * 1024 * 1024;

    static ClubLogService standard();
};

// The API key compiled into this build (empty when the build has none).
QString builtInClubLogApiKey();

inline constexpr QLatin1StringView noClubLogApiKeyText{"This build has no Club Log API key."};

// The chart request of one mode, or the reason none can be made. The query's values are fully
// percent-encoded, so "+" or "&" in an address or password reach the service unchanged.
struct ClubLogRequestResult {
    std::optional<HttpRequest> request;
    std::optional<ClubLogLookupError> error;
};
ClubLogRequestResult makeClubLogDXCCChartRequest(const ClubLogCredentials &credentials,
                                                 const ClubLogService &service, ClubLogMode mode);

// Takes what must not be shown (the account's secrets) out of a text from the network.
using ClubLogTextScrub = std::function<QString(QString)>;

// Judges one answer of the service. A reply that is no chart keeps only a short excerpt: a 200
// reply's text becomes one sentence naming its size and kind (a short line of text stays as it
// came), another status's text its first line of words. `scrub` runs on the text before any of it
// is kept, so no cut can leave part of a secret behind.
struct ClubLogChartResult {
    std::optional<ClubLogDXCCChart> chart;
    std::optional<ClubLogLookupError> error;
};
ClubLogChartResult decodeClubLogDXCCChartResponse(const HttpResult &result,
                                                  const ClubLogTextScrub &scrub = {});

// Removes the password, the e-mail address and the API key from a text that came back from the
// network, so that no sentence shown or logged can carry them.
QString withoutClubLogSecrets(QString text, const ClubLogCredentials &credentials,
                              const QString &apiKey);

// Fetches the charts of several modes one after another; the first failure ends the lookup and
// nothing fetched before it is handed on. Destroying the object aborts the request in flight and
// its completion never runs.
class ClubLogChartLookup final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClubLogChartLookup)

public:
    struct Result {
        std::optional<ClubLogCharts> charts;
        std::optional<ClubLogLookupError> error;
    };
    using Completion = std::function<void(const Result &)>;

    ClubLogChartLookup(HttpClient &http, ClubLogService service, QObject *parent = nullptr);
    ~ClubLogChartLookup() override;

    // Runs once; the completion is called on a later turn of the event loop, never inside start.
    void start(const ClubLogCredentials &credentials, const QList<ClubLogMode> &modes,
               Completion completion);

private:
    void fetchNext();
    void finish(Result result);

    HttpClient &m_http;
    ClubLogService m_service;
    ClubLogCredentials m_credentials;
    QList<ClubLogMode> m_modes;
    ClubLogCharts m_charts;
    Completion m_completion;
    std::optional<HttpClient::RequestId> m_running;
    quint64 m_fetchSerial = 0;
    quint64 m_answeredSerial = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace varnello
