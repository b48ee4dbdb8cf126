#include "UpdateChecker.h"

#include "SettingsAlertPresenter.h"
#include "UpdateDownloadFile.h"

#include <QDir>
#include <QFileInfo>

namespace varnello {

QString UpdateChecker::tarballFileName(const QString &tarballPath)
{
    const QString name = tarballPath.section(u'/', -1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    return name;
}

void UpdateChecker::downloadUpdate(const VersionInfo &info)
{
    if (m_isDownloading)
        return;
    m_isDownloading = true;

    const QString name = tarballFileName(m_setup.tarballPath);
    const QUrl url = name.isEmpty() ? QUrl() : siteUrl(m_setup.tarballPath);
    // Without a published hash the file could not be trusted: nothing is fetched.
    if (!info.sha256 || !url.isValid())
        return failDownload(updateErrorSentence(UpdateError::downloadFailed));
    const std::optional<QString> folder =
        m_setup.downloadsFolder ? m_setup.downloadsFolder() : std::nullopt;
    if (!folder || folder->isEmpty() || !QFileInfo(*folder).isDir())
        return failDownload(updateErrorSentence(UpdateError::downloadsFolderUnavailable));

    auto file = std::make_unique<UpdateDownloadFile>(QDir(*folder).filePath(name), *info.sha256);
    if (!file->open())
        return failDownload(file->errorString());
    m_download = std::move(file);
    m_downloadVersion = info.version;

    HttpRequest request{url, m_setup.timing.downloadTimeout, m_setup.maximumDownloadBytes};
    request.bodySink = [this](QByteArrayView slice) {
        return m_download && m_download->write(slice);
    };
    m_downloadRequest = m_setup.http->get(
        request, this, [this](const HttpResult &result) { onDownloadFinished(result); });
}

void UpdateChecker::onDownloadFinished(const HttpResult &result)
{
    std::unique_ptr<UpdateDownloadFile> file = std::move(m_download);
    m_downloadRequest = 0;
    if (!file)
        return; // abandoned
    // From here on `file` discards itself on every path that does not commit it.
    if (!file->errorString().isEmpty())
        return failDownload(file->errorString());
    if (result.isTransportFailure() && result.error != HttpErrorKind::bodyTooLarge)
        return failDownload(result.errorMessage);
    if (result.isTransportFailure() || result.status < 200 || result.status > 299)
        return failDownload(updateErrorSentence(UpdateError::downloadFailed));
    if (!file->commit()) {
        const QString error = file->errorString();
        return failDownload(error.isEmpty() ? updateErrorSentence(UpdateError::downloadFailed)
                                            : error);
    }
    showUpdateDownloaded(m_downloadVersion, file->finalPath());
}

void UpdateChecker::abandonDownload()
{
    if (!m_download)
        return;
    m_download.reset(); // removes the partial file
    if (m_downloadRequest != 0)
        m_setup.http->cancel(std::exchange(m_downloadRequest, 0));
}

void UpdateChecker::failDownload(const QString &sentence)
{
    showMessage(QStringLiteral("Update download failed"), sentence, [this] { finishDownload(); });
}

void UpdateChecker::showUpdateDownloaded(const QString &version, const QString &filePath)
{
    const QString name = QFileInfo(filePath).fileName();
    showAlert(downloadedTitle(version), downloadedText(name),
              {{QStringLiteral("Show in Folder"), QMessageBox::AcceptRole},
               {QStringLiteral("Close Varnello"), QMessageBox::DestructiveRole},
               {QStringLiteral("Later"), QMessageBox::RejectRole}},
              [this, filePath](int button) {
                  finishDownload();
                  if (button == 0 && m_setup.showInFolder)
                      m_setup.showInFolder(filePath);
                  else if (button == 1 && m_setup.quitApplication)
                      m_setup.quitApplication();
              });
}

void UpdateChecker::finishDownload()
{
    m_isDownloading = false;
    Q_EMIT downloadFinished();
}

QString UpdateChecker::downloadedTitle(const QString &version)
{
    return QStringLiteral("Varnello %1 has been downloaded").arg(version);
}

QString UpdateChecker::downloadedText(const QString &fileName)
{
    return QStringLiteral("The update has been saved in your Downloads folder as %1.\n\n"
                          "Close Varnello, unpack %1, then replace your copy of Varnello with the "
                          "files it contains.")
        .arg(fileName);
}

} // namespace varnello
