#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <optional>

namespace varnello {

class CTYFileManager;

// What the shell uses of the data-file manager: the start-up checks, the offers of newer files
// and their installation. Tests put a scripted fake in its place.
class ShellDataFiles {
public:
    // The check's answer, or nothing when the check failed.
    using Check = std::function<void(std::optional<bool> newerAvailable)>;
    // Nothing on success, else the failure's sentence.
    using Install = std::function<void(std::optional<QString> failure)>;

    virtual ~ShellDataFiles() = default;

    virtual void reloadLoTWActivity(std::function<void()> done) = 0;
    virtual void checkForCountryFileUpdate(Check done) = 0;
    virtual void checkForLoTWActivityUpdate(Check done) = 0;
    virtual void updateCountryFile(Install done) = 0;
    virtual void updateLoTWActivity(Install done) = 0;

    virtual bool isCountryFileUpdateAvailable() const = 0;
    virtual std::optional<QDate> countryReleaseDate() const = 0;
    virtual std::optional<QDate> latestCountryReleaseDate() const = 0;
    virtual std::optional<QDate> lotwLatestActivityDate() const = 0;
    virtual std::optional<QDate> latestLoTWActivityDate() const = 0;
};

// The program's data-file manager behind that interface.
class CTYShellDataFiles final : public ShellDataFiles {
public:
    explicit CTYShellDataFiles(CTYFileManager &manager) : m_manager(manager) {}

    void reloadLoTWActivity(std::function<void()> done) override;
    void checkForCountryFileUpdate(Check done) override;
    void checkForLoTWActivityUpdate(Check done) override;
    void updateCountryFile(Install done) override;
    void updateLoTWActivity(Install done) override;

    bool isCountryFileUpdateAvailable() const override;
    std::optional<QDate> countryReleaseDate() const override;
    std::optional<QDate> latestCountryReleaseDate() const override;
    std::optional<QDate> lotwLatestActivityDate() const override;
    std::optional<QDate> latestLoTWActivityDate() const override;

private:
    CTYFileManager &m_manager;
};

} // namespace varnello
