#include "DataFilesSource.h"

#include "CTYFileManager.h"

namespace varnello {

namespace {

template <typename Source> DataFilesSource::FileSource fileSource(Source source)
{
    switch (source) {
    case Source::downloaded:
        return DataFilesSource::FileSource::downloaded;
    case Source::bundled:
        return DataFilesSource::FileSource::bundled;
    case Source::unavailable:
        break;
    }
    return DataFilesSource::FileSource::unavailable;
}

DataFilesSource::Failure failureText(const std::optional<DataFileFailure> &failure)
{
    if (!failure)
        return std::nullopt;
    return failure->description();
}

} // namespace

CTYFileManagerDataFiles::CTYFileManagerDataFiles(CTYFileManager &manager, QObject *parent)
    : DataFilesSource(parent), m_manager(manager)
{
    for (auto signal :
         {&CTYFileManager::installedDescriptionChanged, &CTYFileManager::sourceChanged,
          &CTYFileManager::isUpdatingChanged, &CTYFileManager::lotwInstalledDescriptionChanged,
          &CTYFileManager::hasLoTWActivityFileChanged, &CTYFileManager::lotwSourceChanged,
          &CTYFileManager::isUpdatingLoTWChanged})
        connect(&manager, signal, this, &DataFilesSource::changed);
}

QString CTYFileManagerDataFiles::installedDescription() const
{
    return m_manager.installedDescription();
}

DataFilesSource::FileSource CTYFileManagerDataFiles::source() const
{
    return fileSource(m_manager.source());
}

bool CTYFileManagerDataFiles::isUpdating() const
{
    return m_manager.isUpdating();
}

QString CTYFileManagerDataFiles::lotwInstalledDescription() const
{
    return m_manager.lotwInstalledDescription();
}

bool CTYFileManagerDataFiles::hasLoTWActivityFile() const
{
    return m_manager.hasLoTWActivityFile();
}

DataFilesSource::FileSource CTYFileManagerDataFiles::lotwSource() const
{
    return fileSource(m_manager.lotwSource());
}

bool CTYFileManagerDataFiles::isUpdatingLoTW() const
{
    return m_manager.isUpdatingLoTW();
}

void CTYFileManagerDataFiles::updateCountryFile(Completion done)
{
    m_manager.updateCountryFile(
        [done = std::move(done)](const std::optional<DataFileFailure> &failure) {
            if (done)
                done(failureText(failure));
        });
}

void CTYFileManagerDataFiles::updateLoTWActivity(Completion done)
{
    m_manager.updateLoTWActivity(
        [done = std::move(done)](const std::optional<DataFileFailure> &failure) {
            if (done)
                done(failureText(failure));
        });
}

bool CTYFileManagerDataFiles::hasBundledLoTWActivityFile() const
{
    return CTYFileManager::bundledResourceURL(CTYFileManager::bundledLoTWResourceName,
                                              CTYFileManager::bundledLoTWResourceExtension)
        .has_value();
}

DataFilesSource::Failure CTYFileManagerDataFiles::useBundledCountryFile()
{
    return failureText(m_manager.useBundledCountryFile());
}

DataFilesSource::Failure CTYFileManagerDataFiles::useBundledLoTWActivityFile()
{
    return failureText(m_manager.useBundledLoTWActivityFile());
}

} // namespace varnello
