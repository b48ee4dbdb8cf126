#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace varnello {

class CTYFileManager;

// What the data files section shows of the data-file manager and asks of it. Failures come as
// their user-facing sentence (empty when the failure gave none). Tests put a fake in its place.
class DataFilesSource : public QObject {
    Q_OBJECT

public:
    enum class FileSource { downloaded, bundled, unavailable };
    using Failure = std::optional<QString>;
    using Completion = std::function<void(const Failure &failure)>;

    using QObject::QObject;

    virtual QString installedDescription() const = 0;
    virtual FileSource source() const = 0;
    virtual bool isUpdating() const = 0;
    virtual QString lotwInstalledDescription() const = 0;
    virtual bool hasLoTWActivityFile() const = 0;
    virtual FileSource lotwSource() const = 0;
    virtual bool isUpdatingLoTW() const = 0;
    // The program carries a LoTW list of its own to go back to (builds may ship none).
    virtual bool hasBundledLoTWActivityFile() const = 0;

    virtual void updateCountryFile(Completion done) = 0;
    virtual void updateLoTWActivity(Completion done) = 0;
    virtual Failure useBundledCountryFile() = 0;
    virtual Failure useBundledLoTWActivityFile() = 0;

Q_SIGNALS:
    // Any of the published values above changed.
    void changed();
};

// The section's view of the program's one data-file manager.
class CTYFileManagerDataFiles final : public DataFilesSource {
    Q_OBJECT

public:
    explicit CTYFileManagerDataFiles(CTYFileManager &manager, QObject *parent = nullptr);

    QString installedDescription() const override;
    FileSource source() const override;
    bool isUpdating() const override;
    QString lotwInstalledDescription() const override;
    bool hasLoTWActivityFile() const override;
    FileSource lotwSource() const override;
    bool isUpdatingLoTW() const override;
    bool hasBundledLoTWActivityFile() const override;

    void updateCountryFile(Completion done) override;
    void updateLoTWActivity(Completion done) override;
    Failure useBundledCountryFile() override;
    Failure useBundledLoTWActivityFile() override;

private:
    CTYFileManager &m_manager;
};

} // namespace varnello
