#pragma once

#include <QString>
#include <optional>

namespace varnello {

// Whether the program starts when the user logs in to the desktop. The change calls return the
// system's own sentence when they fail, so the caller can show it as it stands.
class LoginItem {
public:
    enum class Status { notRegistered, enabled, requiresApproval, notFound };

    virtual ~LoginItem() = default;

    virtual Status status() const = 0;
    // Both return nothing on success, else the failure's sentence.
    virtual std::optional<QString> registerItem() = 0;
    virtual std::optional<QString> unregisterItem() = 0;
    // Whether anything of the registration is left to remove, on or off.
    virtual bool hasRegistration() const { return isOn(status()); }

    // The status, after registering again a registration whose program is gone (notFound) when
    // the user wants the program started at login: a moved or rebuilt program is started again,
    // and a registration that cannot be mended reads as off rather than as a broken "on".
    Status refreshedStatus(bool startAtLoginWanted);

    // What the start-at-login checkbox shows for a status.
    static bool isOn(Status status)
    {
        return status == Status::enabled || status == Status::requiresApproval;
    }
};

// The login item as an XDG autostart entry, ~/.config/autostart/varnello.desktop. The file's
// presence is the state: an entry the user deletes, or hides with "Hidden=true", counts as off;
// one whose Exec names a program that is no longer there is notFound. The entry starts the
// executable by its full path; an installed program's entry also carries its icon.
class XdgAutostartLoginItem final : public LoginItem {
public:
    static constexpr QLatin1StringView entryFileName{"varnello.desktop"};

    // The user's autostart folder ($XDG_CONFIG_HOME/autostart) and this program's executable.
    XdgAutostartLoginItem();
    // Tests pass a temporary folder and any executable path (installed or not, after the desktop
    // entry beside it).
    XdgAutostartLoginItem(QString autostartFolder, QString executablePath);

    Status status() const override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;
    // A hidden entry is still our file.
    bool hasRegistration() const override;

    QString entryPath() const;
    // The entry written for an executable, "Exec" quoted by the Desktop Entry rules; an icon
    // name adds "Icon".
    static QByteArray entryText(const QString &executablePath, const QString &iconName = {});
    // One argument of an Exec key: always quoted, then escaped as a desktop-file string.
    static QString quotedExecArgument(const QString &argument);

private:
    QString m_folder;
    QString m_executablePath;
    QString m_iconName; // empty unless the program runs from an install prefix
};

} // namespace varnello
