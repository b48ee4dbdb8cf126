#pragma once

#include "RBNMode.h"

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

#include <array>
#include <functional>
#include <optional>

namespace varnello {

class AppSettingsStore;

// Commands of the node's skimmer set-up; all are sent without a console echo except where the
// operator applies settings.
inline constexpr QStringView rbnStatusCommand = u"stat/us";
inline constexpr QStringView rbnDisableCommand = u"unset/skimmer";
inline constexpr QStringView rbnBeaconKickCommand = u"set/skimmer BEACON";

// One understood line of the node's "stat/us" reply.
enum class RBNStatusField { spots, beacon, cw, ft, psk, rtty };

struct RBNStatusLine {
    RBNStatusField field = RBNStatusField::spots;
    bool value = false;

    bool operator==(const RBNStatusLine &) const = default;
};

// Reads "name : value" with any case and blanks around the colon. Only the six skimmer names with
// the values yes or no are understood; every other line gives nothing.
std::optional<RBNStatusLine> decodeRBNStatusLine(QStringView line);

// Whether a line can open the node's "stat/us" reply: a field of the user's record ("Want RBN
// Spots : Yes", "Home Node : GB7TST", any short name before a colon) or a line that names the
// user. What the node sends of its own accord meanwhile ("User K1ABC has logged in", new mail, in
// any language) has neither, and neither has a line of an earlier reply that quotes with ">".
bool opensRBNStatusReply(QStringView line, QStringView callsign);

// What one "stat/us" reply said about the skimmer, gathered line by line.
struct RBNStatusReply {
    std::optional<bool> enabled;
    RBNModeSet modes;
    bool sawBeaconField = false;

    // Applies one reply line; returns whether the line was understood.
    bool apply(QStringView line);
    void apply(const RBNStatusLine &status);

    bool operator==(const RBNStatusReply &) const = default;
};

// The command that puts the node into the given skimmer state: "unset/skimmer" when disabled,
// "set/skimmer" and the modes in case order when enabled, and nothing when enabled without any
// mode (the node has no command for that).
std::optional<QString> rbnSettingsCommand(bool enabled, const RBNModeSet &modes);

// The skimmer settings last read from, or applied to, the primary node.
struct PrimaryRBNStatus {
    bool enabled = false;
    RBNModeSet modes;

    bool operator==(const PrimaryRBNStatus &) const = default;
};

struct BoolSettingWrite {
    QLatin1StringView key;
    bool value;

    bool operator==(const BoolSettingWrite &) const = default;
};

// The seven settings writes that keep the primary node's skimmer state, in the order they are
// written: the "known" flag first, so a reader never sees modes without it.
std::array<BoolSettingWrite, 7> primaryRBNStatusWrites(bool enabled, const RBNModeSet &modes);

// Reads the kept primary state back; none unless it was ever saved. `readBool` answers a key with
// its stored truth value, false when absent.
std::optional<PrimaryRBNStatus>
loadPrimaryRBNStatusFrom(const std::function<bool(const QString &key)> &readBool);

// The same on the settings store.
void writePrimaryRBNStatus(AppSettingsStore &store, bool enabled, const RBNModeSet &modes);
std::optional<PrimaryRBNStatus> readPrimaryRBNStatus(const AppSettingsStore &store);

// The command that copies the saved primary state to the backup node, or none when the backup
// already matches it (or no command can express it).
std::optional<QString> backupMirrorCommand(const PrimaryRBNStatus &saved, bool backupStatusKnown,
                                           bool backupEnabled, const RBNModeSet &backupModes);

} // namespace varnello
