#include "ShellDataFiles.h"

#include "CTYFileManager.h"

namespace varnello {

namespace {

CTYFileManager::CheckCompletion forward(ShellDataFiles::Check done)
{
    return [done = std::move(done)](const DataFileOutcome<bool> &outcome) {
        if (done)
            done(outcome.ok() ? std::optional<bool>(outcome.value()) : std::nullopt);
    };
}

CTYFileManager::Completion forward(ShellDataFiles::Install done)
{
    return [done = std::move(done)](const std::optional<DataFileFailure> &failure) {
        if (done)
            done(failure ? std::optional<QString>(failure->description()) : std::nullopt);
    };
}

} // namespace

void CTYShellDataFiles::reloadLoTWActivity(std::function<void()> done)
{
    m_manager.reloadLoTWActivity(std::move(done));
}

void CTYShellDataFiles::checkForCountryFileUpdate(Check done)
{
    m_manager.checkForCountryFileUpdate(forward(std::move(done)));
}

void CTYShellDataFiles::checkForLoTWActivityUpdate(Check done)
{
    m_manager.checkForLoTWActivityUpdate(forward(std::move(done)));
}

void CTYShellDataFiles::updateCountryFile(Install done)
{
    m_manager.updateCountryFile(forward(std::move(done)));
}

void CTYShellDataFiles::updateLoTWActivity(Install done)
{
    m_manager.updateLoTWActivity(forward(std::move(done)));
}

bool CTYShellDataFiles::isCountryFileUpdateAvailable() const
{
    return m_manager.isCountryFileUpdateAvailable();
}

std::optional<QDate> CTYShellDataFiles::countryReleaseDate() const
{
    return m_manager.countryReleaseDate();
}

std::optional<QDate> CTYShellDataFiles::latestCountryReleaseDate() const
{
    return m_manager.latestCountryReleaseDate();
}

std::optional<QDate> CTYShellDataFiles::lotwLatestActivityDate() const
{
    return m_manager.lotwLatestActivityDate();
}

std::optional<QDate> CTYShellDataFiles::latestLoTWActivityDate() const
{
    return m_manager.latestLoTWActivityDate();
}

} // namespace varnello
