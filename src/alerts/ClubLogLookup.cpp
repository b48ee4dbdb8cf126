#include "ClubLogLookup.h"

#include <QMetaObject>
#include <array>

#ifndef VARNELLO_CLUBLOG_API_KEY
#define VARNELLO_CLUBLOG_API_KEY ""
#endif

namespace varnello {

ClubLogLookupError ClubLogLookupError::httpError(int statusCode,
                                                 std::optional<QString> responseText)
{
    ClubLogLookupError e;
    e.kind = Kind::httpError;
    e.statusCode = statusCode;
    e.responseText = std::move(responseText);
    return e;
}

ClubLogLookupError ClubLogLookupError::clubLogError(QString text)
{
    ClubLogLookupError e;
    e.kind = Kind::clubLogError;
    e.text = std::move(text);
    return e;
}

ClubLogLookupError ClubLogLookupError::transport(HttpErrorKind kind)
{
    ClubLogLookupError e;
    e.kind = Kind::transport;
    e.transportError = kind;
    return e;
}

QString ClubLogLookupError::message() const
{
    switch (kind) {
    case Kind::httpError: {
        if (statusCode == 401 || statusCode == 403)
            return QStringLiteral(
                "Club Log rejected the login details. Check the callsign, email address and "
                "application password in Settings.");
        if (statusCode == 429)
            return QStringLiteral("Club Log is temporarily limiting requests. Try again later.");
        if (statusCode >= 500)
            return QStringLiteral("Club Log is temporarily unavailable. Try again later.");
        const QString prefix =
            QStringLiteral("Club Log returned HTTP ") + QString::number(statusCode);
        if (responseText) {
            const QString cleaned = cleanClubLogErrorText(*responseText);
            if (!cleaned.isEmpty())
                return prefix + QStringLiteral(": ") + cleaned;
        }
        return prefix + QLatin1Char('.');
    }
    case Kind::clubLogError:
        return QStringLiteral("Club Log returned an error: ") + text;
    case Kind::invalidResponse:
        return QStringLiteral("Club Log returned an invalid network response.");
    case Kind::invalidJSON:
        return QStringLiteral("Club Log returned data that was not a valid DXCC matrix.");
    case Kind::transport:
        return clubLogLookupFailureMessage(*this);
    case Kind::noApiKey:
        return QString(noClubLogApiKeyText);
    }
    return {};
}

QString clubLogLookupFailureMessage(const ClubLogLookupError &error)
{
    if (error.kind != ClubLogLookupError::Kind::transport)
        return error.message();
    switch (error.transportError) {
    case HttpErrorKind::timeout:
        return QStringLiteral("The Club Log request timed out.");
    case HttpErrorKind::notConnected:
        return QStringLiteral("There is no internet connection.");
    case HttpErrorKind::hostNotFound:
    case HttpErrorKind::cannotConnect:
        return QStringLiteral("Club Log could not be reached.");
    default:
        // The transport sentences never carry the request address, which holds the credentials.
        return QStringLiteral("The Club Log request failed: ") +
               httpErrorSentence(error.transportError);
    }
}

std::optional<QString> clubLogBandKey(const QString &band)
{
    static const QHash<QString, QString> keys{
        {QStringLiteral("160m"), QStringLiteral("160")},
        {QStringLiteral("80m"), QStringLiteral("80")},
        {QStringLiteral("60m"), QStringLiteral("60")},
        {QStringLiteral("40m"), QStringLiteral("40")},
        {QStringLiteral("30m"), QStringLiteral("30")},
        {QStringLiteral("20m"), QStringLiteral("20")},
        {QStringLiteral("17m"), QStringLiteral("17")},
        {QStringLiteral("15m"), QStringLiteral("15")},
        {QStringLiteral("12m"), QStringLiteral("12")},
        {QStringLiteral("10m"), QStringLiteral("10")},
        {QStringLiteral("6m"), QStringLiteral("6")},
        {QStringLiteral("4m"), QStringLiteral("4")},
        {QStringLiteral("2m"), QStringLiteral("2")},
        {QStringLiteral("70cm"), QStringLiteral("0.7")},
        {QStringLiteral("23cm"), QStringLiteral("0.23")},
        {QStringLiteral("13cm"), QStringLiteral("0.13")},
        {QStringLiteral("9cm"), QStringLiteral("0.09")},
        {QStringLiteral("6cm"), QStringLiteral("0.06")},
        {QStringLiteral("3cm"), QStringLiteral("0.03")},
        {QStringLiteral("1.2cm"), QStringLiteral("0.012")},
        {QStringLiteral("6mm"), QStringLiteral("0.006")},
        {QStringLiteral("4mm"), QStringLiteral("0.004")},
        {QStringLiteral("2mm"), QStringLiteral("0.002")},
    };
    const auto it = keys.constFind(band);
    if (it == keys.cend())
        return std::nullopt;
    return *it;
}

int clubLogModeDigit(ClubLogMode mode)
{
    switch (mode) {
    case ClubLogMode::mixed:
        return 0;
    case ClubLogMode::cw:
        return 1;
    case ClubLogMode::ssb:
        return 2;
    case ClubLogMode::data:
        return 3;
    }
    return 0;
}

QString builtInClubLogApiKey()
{
    return QStringLiteral(VARNELLO_CLUBLOG_API_KEY);
}

ClubLogService ClubLogService::standard()
{
    ClubLogService service;
    service.chartUrl = QUrl(QStringLiteral("https://clublog.org/json_dxccchart.php"));
    service.apiKey = builtInClubLogApiKey();
    return service;
}

ClubLogRequestResult makeClubLogDXCCChartRequest(const ClubLogCredentials &credentials,
                                                 const ClubLogService &service, ClubLogMode mode)
{
    if (service.apiKey.isEmpty()) {
        ClubLogLookupError error;
        error.kind = ClubLogLookupError::Kind::noApiKey;
        return {std::nullopt, error};
    }
    QUrl url = service.chartUrl;
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return {std::nullopt, ClubLogLookupError::clubLogError(
                                  QStringLiteral("The Club Log request URL is invalid."))};

    const std::array<std::pair<const char *, QString>, 7> items{{
        {"call", credentials.callsign},
        {"api", service.apiKey},
        {"email", credentials.email},
        {"password", credentials.password},
        {"mode", QString::number(clubLogModeDigit(mode))},
        {"date", QStringLiteral("0")},
        {"sat", QStringLiteral("0")},
    }};
    QByteArray query;
    for (const auto &[key, value] : items) {
        if (!query.isEmpty())
            query += '&';
        query += key;
        query += '=';
        query += QUrl::toPercentEncoding(value);
    }
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    if (!url.isValid())
        return {std::nullopt, ClubLogLookupError::clubLogError(
                                  QStringLiteral("The Club Log request could not be encoded."))};

    HttpRequest request;
    request.url = url;
    request.timeout = service.timeout;
    request.maxBodyBytes = service.maximumBodyBytes;
    return {request, std::nullopt};
}

QString withoutClubLogSecrets(QString text, const ClubLogCredentials &credentials,
                              const QString &apiKey)
{
    for (const QString &secret : {credentials.password, credentials.email, apiKey}) {
        if (secret.isEmpty())
            continue;
        text.replace(secret, QStringLiteral("…"), Qt::CaseInsensitive);
        const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(secret));
        if (encoded != secret)
            text.replace(encoded, QStringLiteral("…"), Qt::CaseInsensitive);
    }
    return text;
}

ClubLogChartLookup::ClubLogChartLookup(HttpClient &http, ClubLogService service, QObject *parent)
    : QObject(parent), m_http(http), m_service(std::move(service))
{
}

ClubLogChartLookup::~ClubLogChartLookup()
{
    *m_alive = false;
    m_completion = nullptr;
    if (m_running)
        m_http.cancel(*m_running);
}

void ClubLogChartLookup::start(const ClubLogCredentials &credentials,
                               const QList<ClubLogMode> &modes, Completion completion)
{
    m_credentials = credentials;
    m_modes = modes;
    m_completion = std::move(completion);
    // Even an immediate failure reports on a later turn, like a request would.
    QMetaObject::invokeMethod(
        this,
        [this, alive = std::weak_ptr<bool>(m_alive)] {
            if (const auto a = alive.lock(); a && *a)
                fetchNext();
        },
        Qt::QueuedConnection);
}

void ClubLogChartLookup::fetchNext()
{
    if (m_modes.isEmpty()) {
        finish(Result{std::move(m_charts), std::nullopt});
        return;
    }
    const ClubLogMode mode = m_modes.takeFirst();
    ClubLogRequestResult made = makeClubLogDXCCChartRequest(m_credentials, m_service, mode);
    if (!made.request) {
        finish(Result{std::nullopt, made.error});
        return;
    }
    const quint64 serial = ++m_fetchSerial;
    const std::weak_ptr<bool> alive = m_alive;
    const auto id =
        m_http.get(*made.request, this, [this, mode, serial, alive](const HttpResult &reply) {
            const auto a = alive.lock();
            if (!a || !*a)
                return;
            m_answeredSerial = serial;
            m_running.reset();
            ClubLogChartResult decoded =
                decodeClubLogDXCCChartResponse(reply, [this](QString text) {
                    return withoutClubLogSecrets(std::move(text), m_credentials, m_service.apiKey);
                });
            if (!decoded.chart) {
                finish(Result{std::nullopt, decoded.error});
                return;
            }
            m_charts.insert(mode, std::move(*decoded.chart));
            fetchNext();
        });
    // A client may answer before get() returns; then this request is no longer running.
    if (const auto a = alive.lock(); a && *a && m_answeredSerial < serial)
        m_running = id;
}

void ClubLogChartLookup::finish(Result result)
{
    m_modes.clear();
    if (!result.charts)
        m_charts.clear();
    // The completion may destroy this object; keep it alive on the stack while it runs.
    Completion completion = std::exchange(m_completion, nullptr);
    if (completion)
        completion(result);
}

} // namespace varnello
