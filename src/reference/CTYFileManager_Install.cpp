// Data-file manager: downloads, installation, the LoTW reload, the return to the built-in copies
// and the removal of the downloads.

#include "CTYFileManager.h"

#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>

namespace varnello {

namespace {

constexpr auto kDownloadedFilePermissions =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;

// Reads a whole file, refusing one larger than any accepted download.
std::optional<QByteArray> readCapped(const QString &path, qint64 cap)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (file.size() > cap)
        return std::nullopt;
    QByteArray bytes = file.read(cap + 1);
    if (bytes.size() > cap || file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

std::optional<DataFileFailure> removeIfPresent(const std::optional<QString> &path)
{
    if (!path || !QFileInfo::exists(*path))
        return std::nullopt;
    QFile file(*path);
    if (!file.remove())
        return DataFileFailure(
            FileSystemError{QStringLiteral("The file “%1” could not be removed: %2")
                                .arg(*path, file.errorString())});
    return std::nullopt;
}

} // namespace

std::optional<DataFileFailure> CTYFileManager::writeAtomically(const QString &path,
                                                               const QByteArray &bytes)
{
    if (auto folderError = createParentFolder(path))
        return DataFileFailure(*folderError);
    if (auto reason = AtomicFile::write(path, bytes, kDownloadedFilePermissions,
                                        AtomicFile::Mode::bestEffort))
        return DataFileFailure(FileSystemError{
            QStringLiteral("The file “%1” could not be written: %2").arg(path, *reason)});
    return std::nullopt;
}

void CTYFileManager::updateCountryFile(Completion done)
{
    if (m_isUpdating) {
        finishLater([done = std::move(done)] {
            if (done)
                done(std::nullopt);
        });
        return;
    }
    setIsUpdating(true);

    HttpRequest request;
    request.url = m_endpoints.countryFile;
    request.timeout = m_timeouts.countryFile;
    request.maxBodyBytes = kCountryFileMaxBytes;
    m_http->get(request, this, [this, done = std::move(done)](const HttpResult &reply) {
        const auto fail = [this, &done](DataFileFailure failure) {
            setIsUpdating(false);
            if (done)
                done(failure);
        };
        if (auto failure = replyFailure(reply, CTYFileManagerError::downloadFailedValidation))
            return fail(std::move(*failure));
        CTYDatabase::ParseResult parsed = CTYDatabase::parse(reply.body);
        if (!parsed.database)
            return fail(parsed.error.value_or(CTYDatabaseError::emptyFile()));
        if (parsed.database->entityCount() < kMinCountryEntities ||
            parsed.database->ruleCount() < kMinCountryRules)
            return fail(CTYFileManagerError::downloadFailedValidation);
        const auto destination = fileURL(countryFileName);
        if (!destination)
            return fail(CTYFileManagerError::applicationSupportUnavailable);
        if (auto writeFailure = writeAtomically(*destination, reply.body))
            return fail(*writeFailure);

        publishCountry(std::move(*parsed.database), CountryFileSource::downloaded);
        setIsUpdating(false);
        if (done)
            done(std::nullopt);
    });
}

void CTYFileManager::updateLoTWActivity(Completion done)
{
    if (m_isUpdatingLoTW) {
        finishLater([done = std::move(done)] {
            if (done)
                done(std::nullopt);
        });
        return;
    }
    setIsUpdatingLoTW(true);

    HttpRequest request;
    request.url = m_endpoints.lotwActivity;
    request.timeout = m_timeouts.lotwList;
    request.maxBodyBytes = kLoTWListMaxBytes;
    m_http->get(request, this, [this, done = std::move(done)](const HttpResult &reply) {
        auto fail = [this, done](DataFileFailure failure) {
            setIsUpdatingLoTW(false);
            if (done)
                done(failure);
        };
        if (auto failure = replyFailure(reply, LoTWActivityFileError::downloadFailedValidation))
            return fail(std::move(*failure));
        const QByteArray body = reply.body;
        validateInBackground(
            body, [this, body, done, fail](DataFileOutcome<LoTWValidationResult> outcome) {
                if (!outcome.ok())
                    return fail(outcome.failure());
                const auto destination = fileURL(lotwActivityFileName);
                if (!destination)
                    return fail(LoTWActivityFileError::applicationSupportUnavailable);
                if (auto writeFailure = writeAtomically(*destination, body))
                    return fail(*writeFailure);
                publishLoTWResult(outcome.value(), LoTWFileSource::downloaded, true);
                LoTWActivityLookup::shared().replaceAll(outcome.value().recentUploads);
                setIsUpdatingLoTW(false);
                if (done)
                    done(std::nullopt);
            });
    });
}

void CTYFileManager::reloadLoTWActivity(std::function<void()> done)
{
    if (m_isLoadingLoTW) {
        finishLater(std::move(done));
        return;
    }
    setIsLoadingLoTW(true);

    std::optional<QString> path;
    if (m_lotwSource == LoTWFileSource::downloaded)
        path = fileURL(lotwActivityFileName);
    else if (m_lotwSource == LoTWFileSource::bundled)
        path = bundledResourceURL(bundledLoTWResourceName, bundledLoTWResourceExtension);
    if (!path) {
        publishEmptyLoTWState();
        finishLater(std::move(done));
        return;
    }

    const QDateTime now = m_clock->now();
    m_pool.start([this, path = *path, now, done = std::move(done)] {
        auto outcome = std::make_shared<std::optional<DataFileOutcome<LoTWValidationResult>>>();
        if (auto bytes = readCapped(path, kLoTWListMaxBytes))
            *outcome = validateLoTWActivityData(*bytes, now);
        QMetaObject::invokeMethod(
            this,
            [this, outcome, done] {
                if (*outcome && (*outcome)->ok()) {
                    const LoTWValidationResult &result = (*outcome)->value();
                    publishLoTWResult(result,
                                      m_lotwSource == LoTWFileSource::downloaded
                                          ? LoTWFileSource::downloaded
                                          : LoTWFileSource::bundled,
                                      false);
                    LoTWActivityLookup::shared().replaceAll(result.recentUploads);
                    setIsLoadingLoTW(false);
                } else {
                    publishEmptyLoTWState();
                }
                if (done)
                    done();
            },
            Qt::QueuedConnection);
    });
}

std::optional<DataFileFailure> CTYFileManager::useBundledCountryFile()
{
    const auto path = bundledResourceURL(bundledResourceName, bundledResourceExtension);
    if (!path)
        return DataFileFailure(CTYFileManagerError::bundledFileMissing);
    CTYDatabase::ParseResult loaded = CTYDatabase::load(*path);
    if (!loaded.database)
        return DataFileFailure(loaded.error.value_or(CTYDatabaseError::unreadableFile(*path)));
    if (auto failure = removeIfPresent(fileURL(countryFileName)))
        return failure;
    publishCountry(std::move(*loaded.database), CountryFileSource::bundled);
    return std::nullopt;
}

std::optional<DataFileFailure> CTYFileManager::useBundledLoTWActivityFile()
{
    const auto path = bundledResourceURL(bundledLoTWResourceName, bundledLoTWResourceExtension);
    if (!path)
        return DataFileFailure(LoTWActivityFileError::bundledFileMissing);
    const auto bytes = readCapped(*path, kLoTWListMaxBytes);
    if (!bytes)
        return DataFileFailure(
            FileSystemError{QStringLiteral("The bundled LoTW activity file could not be read.")});
    auto outcome = validateLoTWActivityData(*bytes, m_clock->now());
    if (!outcome.ok())
        return outcome.failure();
    if (auto failure = removeIfPresent(fileURL(lotwActivityFileName)))
        return failure;
    publishLoTWResult(outcome.value(), LoTWFileSource::bundled, false);
    LoTWActivityLookup::shared().replaceAll(outcome.value().recentUploads);
    return std::nullopt;
}

std::optional<DataFileFailure> CTYFileManager::removeDownloadedFiles()
{
    if (auto failure = removeIfPresent(fileURL(countryFileName)))
        return failure;
    return removeIfPresent(fileURL(lotwActivityFileName));
}

} // namespace varnello
