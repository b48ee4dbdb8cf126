#pragma once

#include "CTYDatabaseError.h"
#include "HttpClient.h"

#include <QString>
#include <optional>
#include <type_traits>
#include <variant>

namespace varnello {

// Failures of the country-file operations of the data-file manager.
enum class CTYFileManagerError {
    invalidServerResponse,
    emptyDownload,
    downloadFailedValidation,
    applicationSupportUnavailable,
    bundledFileMissing,
};

// Failures of the LoTW-list operations of the data-file manager.
enum class LoTWActivityFileError {
    invalidServerResponse,
    emptyDownload,
    invalidTextEncoding,
    downloadFailedValidation,
    applicationSupportUnavailable,
    bundledFileMissing,
};

QString errorDescription(CTYFileManagerError error);
QString errorDescription(LoTWActivityFileError error);

// The request reached no HTTP answer (no network, time-out, cancellation).
struct TransportError {
    HttpErrorKind kind = HttpErrorKind::other;
    friend bool operator==(const TransportError &, const TransportError &) = default;
};

// The data folder could not be created or a file could not be read, written or removed.
struct FileSystemError {
    QString message; // a full sentence
    friend bool operator==(const FileSystemError &, const FileSystemError &) = default;
};

// Whatever a data-file operation can fail with: its own error, a country-file parse error, a
// transport failure or a file-system failure. Callers show description().
class DataFileFailure {
public:
    using Reason = std::variant<CTYFileManagerError, LoTWActivityFileError, CTYDatabaseError,
                                TransportError, FileSystemError>;

    // Implicit on purpose: any of the reasons above is a failure.
    template <typename T>
    requires std::is_constructible_v<Reason, T &&> DataFileFailure(T &&reason)
        : m_reason(std::forward<T>(reason)) // NOLINT
    {
    }

    const Reason &reason() const { return m_reason; }
    QString description() const;

    template <typename T> const T *as() const { return std::get_if<T>(&m_reason); }

    friend bool operator==(const DataFileFailure &, const DataFileFailure &) = default;

private:
    Reason m_reason;
};

// The outcome of an asynchronous data-file operation: a value, or the failure.
template <typename T> class DataFileOutcome {
public:
    DataFileOutcome(T value) : m_value(std::move(value)) {}                     // NOLINT
    DataFileOutcome(DataFileFailure failure) : m_failure(std::move(failure)) {} // NOLINT

    bool ok() const { return m_value.has_value(); }
    const T &value() const { return *m_value; }
    const DataFileFailure &failure() const { return *m_failure; }

private:
    std::optional<T> m_value;
    std::optional<DataFileFailure> m_failure;
};

// How a data-file server's answer fails before its body is looked at: a transport failure, a
// status other than 200, or an empty body. A body over the cap counts as a bad file only when the
// server said 200 (`tooLargeAt200`); otherwise the answer itself was wrong. Nothing when the body
// is there to be checked.
template <typename Error>
std::optional<DataFileFailure> replyFailure(const HttpResult &reply, Error tooLargeAt200)
{
    if (reply.error == HttpErrorKind::bodyTooLarge)
        return DataFileFailure(reply.status == 200 ? tooLargeAt200 : Error::invalidServerResponse);
    if (reply.isTransportFailure())
        return DataFileFailure(TransportError{reply.error});
    if (reply.status != 200)
        return DataFileFailure(Error::invalidServerResponse);
    if (reply.body.isEmpty())
        return DataFileFailure(Error::emptyDownload);
    return std::nullopt;
}

} // namespace varnello
