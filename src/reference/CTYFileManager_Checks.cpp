// Data-file manager: the update checks (release feed, LoTW list) and background validation.

#include "CTYFileManager.h"
#include "CivilDate.h"

#include <QMetaObject>
#include <QPointer>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QThreadPool>

namespace varnello {

namespace {

QString decodeUtf8OrLatin1(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder(bytes);
    if (!decoder.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace

std::optional<QDate> CTYFileManager::releaseDateFromFeed(const QString &feedText)
{
    static const QRegularExpression kReleaseTitle(QStringLiteral("<title>\\s*CTY-\\d+\\b"),
                                                  QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression kVersion(QStringLiteral("VER(\\d{4})(\\d{2})(\\d{2})"),
                                             QRegularExpression::UseUnicodePropertiesOption);
    static const QString kOpen = QStringLiteral("<item>");
    static const QString kClose = QStringLiteral("</item>");

    // The items, in document order, each ending at the first "</item>" after its start. Found
    // by plain searching so that a feed full of unclosed items costs linear time.
    qsizetype from = 0;
    while (true) {
        const qsizetype open = feedText.indexOf(kOpen, from);
        if (open < 0)
            break;
        const qsizetype innerStart = open + kOpen.size();
        const qsizetype close = feedText.indexOf(kClose, innerStart);
        if (close < 0)
            break;
        from = close + kClose.size();
        const QStringView inner = QStringView(feedText).sliced(innerStart, close - innerStart);

        if (!kReleaseTitle.match(inner).hasMatch())
            continue;
        const QRegularExpressionMatch version = kVersion.match(inner);
        if (!version.hasMatch())
            continue;
        // \d also matches other scripts' digits; only ASCII digits read as a number.
        const auto y = parseDecimalInteger(version.capturedView(1));
        const auto m = parseDecimalInteger(version.capturedView(2));
        const auto d = parseDecimalInteger(version.capturedView(3));
        if (!y || !m || !d)
            continue;
        const auto date = civilDate(*y, *m, *d);
        if (!date)
            continue;
        return date;
    }
    return std::nullopt;
}

bool CTYFileManager::isCountryFileUpdateAvailable() const
{
    return isDateEarlier(m_countryReleaseDate, m_latestCountryReleaseDate);
}

void CTYFileManager::checkForCountryFileUpdate(CheckCompletion done)
{
    HttpRequest request;
    request.url = m_endpoints.releaseFeed;
    request.timeout = m_timeouts.releaseFeed;
    request.maxBodyBytes = kReleaseFeedMaxBytes;
    m_http->get(request, this, [this, done = std::move(done)](const HttpResult &reply) {
        const auto finish = [&done](DataFileOutcome<bool> outcome) {
            if (done)
                done(outcome);
        };
        // An oversized feed is no feed at all, whatever the status.
        if (auto failure = replyFailure(reply, CTYFileManagerError::invalidServerResponse))
            return finish(std::move(*failure));
        const auto date = releaseDateFromFeed(decodeUtf8OrLatin1(reply.body));
        if (!date)
            return finish(false);
        if (m_latestCountryReleaseDate != date) {
            m_latestCountryReleaseDate = date;
            Q_EMIT latestCountryReleaseDateChanged();
        }
        finish(isCountryFileUpdateAvailable());
    });
}

void CTYFileManager::checkForLoTWActivityUpdate(CheckCompletion done)
{
    HttpRequest request;
    request.url = m_endpoints.lotwActivity;
    request.timeout = m_timeouts.lotwList;
    request.maxBodyBytes = kLoTWListMaxBytes;
    m_http->get(request, this, [this, done = std::move(done)](const HttpResult &reply) {
        const auto finish = [done](DataFileOutcome<bool> outcome) {
            if (done)
                done(outcome);
        };
        if (auto failure = replyFailure(reply, LoTWActivityFileError::downloadFailedValidation))
            return finish(std::move(*failure));
        validateInBackground(
            reply.body, [this, finish](DataFileOutcome<LoTWValidationResult> outcome) {
                if (!outcome.ok())
                    return finish(outcome.failure());
                setLatestLoTWActivityDate(outcome.value().latestActivityDate);
                finish(isDateEarlier(m_lotwLatestActivityDate, m_latestLoTWActivityDate));
            });
    });
}

void CTYFileManager::validateInBackground(
    QByteArray bytes, std::function<void(DataFileOutcome<LoTWValidationResult>)> then)
{
    const QDateTime now = m_clock->now();
    m_pool.start([this, bytes = std::move(bytes), now, then = std::move(then)]() mutable {
        auto outcome = std::make_shared<DataFileOutcome<LoTWValidationResult>>(
            validateLoTWActivityData(bytes, now));
        bytes = QByteArray();
        // The manager outlives this task (its destructor waits for the pool).
        QMetaObject::invokeMethod(
            this, [outcome, then = std::move(then)] { then(std::move(*outcome)); },
            Qt::QueuedConnection);
    });
}

} // namespace varnello
