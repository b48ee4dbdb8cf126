#include "CTYFileManagerErrors.h"

namespace varnello {

QString errorDescription(CTYFileManagerError error)
{
    switch (error) {
    case CTYFileManagerError::invalidServerResponse:
        return QStringLiteral("The country-file server returned an invalid response.");
    case CTYFileManagerError::emptyDownload:
        return QStringLiteral("The downloaded CTY_WT.DAT file was empty.");
    case CTYFileManagerError::downloadFailedValidation:
        return QStringLiteral(
            "The downloaded file did not look like a complete CTY_WT.DAT database.");
    case CTYFileManagerError::applicationSupportUnavailable:
        return QStringLiteral("The data folder could not be located.");
    case CTYFileManagerError::bundledFileMissing:
        return QStringLiteral("The bundled CTY_WT.DAT file could not be found.");
    }
    return {};
}

QString errorDescription(LoTWActivityFileError error)
{
    switch (error) {
    case LoTWActivityFileError::invalidServerResponse:
        return QStringLiteral("The LoTW server returned an invalid response.");
    case LoTWActivityFileError::emptyDownload:
        return QStringLiteral("The downloaded LoTW activity file was empty.");
    case LoTWActivityFileError::invalidTextEncoding:
        return QStringLiteral("The downloaded LoTW activity file was not valid UTF-8 text.");
    case LoTWActivityFileError::downloadFailedValidation:
        return QStringLiteral(
            "The downloaded file did not look like a complete LoTW user activity list.");
    case LoTWActivityFileError::applicationSupportUnavailable:
        return QStringLiteral("The data folder could not be located.");
    case LoTWActivityFileError::bundledFileMissing:
        return QStringLiteral("The bundled LoTW activity file could not be found.");
    }
    return {};
}

QString DataFileFailure::description() const
{
    struct Describe {
        QString operator()(CTYFileManagerError e) const { return errorDescription(e); }
        QString operator()(LoTWActivityFileError e) const { return errorDescription(e); }
        QString operator()(const CTYDatabaseError &e) const { return e.description(); }
        QString operator()(const TransportError &e) const { return httpErrorSentence(e.kind); }
        QString operator()(const FileSystemError &e) const { return e.message; }
    };
    return std::visit(Describe{}, m_reason);
}

} // namespace varnello
