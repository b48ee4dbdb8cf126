#include "RbnSkimmerSettings.h"

#include "AppSettingsStore.h"
#include "SettingsKeys.h"

#include <QLatin1String>

namespace varnello {

namespace {

struct StatusName {
    const char *name;
    RBNStatusField field;
};

constexpr std::array<StatusName, 6> statusNames{{
    {"want rbn spots", RBNStatusField::spots},
    {"want rbn beacon", RBNStatusField::beacon},
    {"want rbn cw", RBNStatusField::cw},
    {"want rbn ft4/8", RBNStatusField::ft},
    {"want rbn psk", RBNStatusField::psk},
    {"want rbn rtty", RBNStatusField::rtty},
}};

constexpr QLatin1StringView keyStatusKnown = SettingsKeys::primaryRBNStatusKnown.name;
constexpr QLatin1StringView keyEnabled = SettingsKeys::primaryRBNEnabled.name;

struct ModeKey {
    RBNMode mode;
    QLatin1StringView key;
};

// The order of the mode flags as they are written.
constexpr std::array<ModeKey, 5> modeKeys{{
    {RBNMode::cw, SettingsKeys::primaryRBNCW.name},
    {RBNMode::beacon, SettingsKeys::primaryRBNBeacon.name},
    {RBNMode::psk, SettingsKeys::primaryRBNPSK.name},
    {RBNMode::rtty, SettingsKeys::primaryRBNRTTY.name},
    {RBNMode::ft, SettingsKeys::primaryRBNFT.name},
}};

} // namespace

std::optional<RBNStatusLine> decodeRBNStatusLine(QStringView line)
{
    const qsizetype colon = line.indexOf(u':');
    if (colon < 0)
        return std::nullopt;
    const QString name = line.left(colon).trimmed().toString().toLower();
    const QString value = line.mid(colon + 1).trimmed().toString().toLower();

    bool truth = false;
    if (value == QLatin1String("yes"))
        truth = true;
    else if (value != QLatin1String("no"))
        return std::nullopt;

    for (const StatusName &entry : statusNames) {
        if (name == QLatin1String(entry.name))
            return RBNStatusLine{entry.field, truth};
    }
    return std::nullopt;
}

bool opensRBNStatusReply(QStringView line, QStringView callsign)
{
    // A field's name is a few words; a longer text before a colon is a sentence.
    constexpr qsizetype longestFieldName = 40;
    line = line.trimmed();
    const qsizetype colon = line.indexOf(u':');
    if (colon > 0 && colon <= longestFieldName && line.front().isLetter() &&
        !line.first(colon).contains(u'>') && !line.first(colon).contains(u'<'))
        return true;
    const QStringView call = callsign.trimmed();
    if (call.isEmpty())
        return false;
    for (qsizetype at = line.indexOf(call, 0, Qt::CaseInsensitive); at >= 0;
         at = line.indexOf(call, at + 1, Qt::CaseInsensitive)) {
        const qsizetype end = at + call.size();
        if ((at == 0 || !line[at - 1].isLetterOrNumber()) &&
            (end == line.size() || !line[end].isLetterOrNumber()))
            return true;
    }
    return false;
}

bool RBNStatusReply::apply(QStringView line)
{
    const std::optional<RBNStatusLine> status = decodeRBNStatusLine(line);
    if (!status)
        return false;
    apply(*status);
    return true;
}

void RBNStatusReply::apply(const RBNStatusLine &status)
{
    switch (status.field) {
    case RBNStatusField::spots:
        enabled = status.value;
        return;
    case RBNStatusField::beacon:
        sawBeaconField = true;
        modes.set(RBNMode::beacon, status.value);
        return;
    case RBNStatusField::cw:
        modes.set(RBNMode::cw, status.value);
        return;
    case RBNStatusField::ft:
        modes.set(RBNMode::ft, status.value);
        return;
    case RBNStatusField::psk:
        modes.set(RBNMode::psk, status.value);
        return;
    case RBNStatusField::rtty:
        modes.set(RBNMode::rtty, status.value);
        return;
    }
}

std::optional<QString> rbnSettingsCommand(bool enabled, const RBNModeSet &modes)
{
    if (!enabled)
        return rbnDisableCommand.toString();
    if (modes.isEmpty())
        return std::nullopt;
    return QStringLiteral("set/skimmer ") + modes.rawValues().join(u' ');
}

std::array<BoolSettingWrite, 7> primaryRBNStatusWrites(bool enabled, const RBNModeSet &modes)
{
    std::array<BoolSettingWrite, 7> writes{};
    writes[0] = {keyStatusKnown, true};
    writes[1] = {keyEnabled, enabled};
    for (std::size_t i = 0; i < modeKeys.size(); ++i)
        writes[i + 2] = {modeKeys[i].key, modes.contains(modeKeys[i].mode)};
    return writes;
}

std::optional<PrimaryRBNStatus>
loadPrimaryRBNStatusFrom(const std::function<bool(const QString &key)> &readBool)
{
    if (!readBool(QString(keyStatusKnown)))
        return std::nullopt;
    PrimaryRBNStatus status;
    status.enabled = readBool(QString(keyEnabled));
    for (const ModeKey &entry : modeKeys)
        status.modes.set(entry.mode, readBool(QString(entry.key)));
    return status;
}

void writePrimaryRBNStatus(AppSettingsStore &store, bool enabled, const RBNModeSet &modes)
{
    for (const BoolSettingWrite &write : primaryRBNStatusWrites(enabled, modes))
        store.setBool(QString(write.key), write.value);
}

std::optional<PrimaryRBNStatus> readPrimaryRBNStatus(const AppSettingsStore &store)
{
    // Every flag defaults to false, as the kept state was never written otherwise.
    return loadPrimaryRBNStatusFrom(
        [&store](const QString &key) { return store.boolValue(key, false); });
}

std::optional<QString> backupMirrorCommand(const PrimaryRBNStatus &saved, bool backupStatusKnown,
                                           bool backupEnabled, const RBNModeSet &backupModes)
{
    if (backupStatusKnown && backupEnabled == saved.enabled) {
        if (!saved.enabled || backupModes == saved.modes)
            return std::nullopt;
    }
    return rbnSettingsCommand(saved.enabled, saved.modes);
}

} // namespace varnello
