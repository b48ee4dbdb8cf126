#pragma once

#include <QLatin1StringView>
#include <QString>

// Every key of the settings document, with the kind its writers use and the default its readers
// pass. Pass a key object straight to AppSettingsStore (store.boolValue(SettingsKeys::hideCWSpots))
// or use key.name where a plain key text is wanted.

namespace varnello {

// Values this program chose for itself rather than took from the user.
namespace SettingsDefaults {
// Public DX Spider nodes: the primary the program logs in to, and the node it falls back to.
inline constexpr QLatin1StringView primaryClusterHost{"dx.ka2pbt.com"};
inline constexpr QLatin1StringView backupClusterHost{"gb7djk.dxcluster.net"};
inline constexpr QLatin1StringView clusterPort{"7300"};
// Older versions stored the backup node as this bare address; loading replaces it by the host name.
inline constexpr QLatin1StringView legacyBackupClusterAddress{"192.0.2.73"};
} // namespace SettingsDefaults

struct StringSettingKey {
    QLatin1StringView name;
    QLatin1StringView defaultValue;
};
struct BoolSettingKey {
    QLatin1StringView name;
    bool defaultValue;
};
// Data keys hold a JSON encoding owned by another area; their default is always the empty bytes.
struct DataSettingKey {
    QLatin1StringView name;
};
struct DoubleSettingKey {
    QLatin1StringView name;
    double defaultValue;
};
// A number whose absence means something ("never happened"), so it has no default.
struct OptionalDoubleSettingKey {
    QLatin1StringView name;
};

namespace SettingsKeys {
using L1 = QLatin1StringView;

// Cluster nodes and login
inline constexpr StringSettingKey clusterHost{L1("clusterHost"),
                                              SettingsDefaults::primaryClusterHost};
inline constexpr StringSettingKey clusterPort{L1("clusterPort"), SettingsDefaults::clusterPort};
inline constexpr StringSettingKey clusterCallsign{L1("clusterCallsign"), L1("")};
inline constexpr StringSettingKey clusterPassword{L1("clusterPassword"), L1("")};
inline constexpr BoolSettingKey backupClusterEnabled{L1("backupClusterEnabled"), true};
inline constexpr StringSettingKey backupClusterHost{L1("backupClusterHost"),
                                                    SettingsDefaults::backupClusterHost};
inline constexpr StringSettingKey backupClusterPort{L1("backupClusterPort"),
                                                    SettingsDefaults::clusterPort};
inline constexpr BoolSettingKey autoReconnectEnabled{L1("autoReconnectEnabled"), true};
inline constexpr BoolSettingKey autoConnectOnStartup{L1("autoConnectOnStartup"), false};
// Removed (AppSettingsStore::removeValue) when no longer wanted.
inline constexpr StringSettingKey suppressedUnsupportedPrimaryClusterWarningNode{
    L1("suppressedUnsupportedPrimaryClusterWarningNode"), L1("")};
inline constexpr BoolSettingKey suppressUpstreamFilterWarning{L1("suppressUpstreamFilterWarning"),
                                                              false};

// Skimmer (RBN) settings as last read from the primary node
inline constexpr BoolSettingKey primaryRBNStatusKnown{L1("primaryRBNStatusKnown"), false};
inline constexpr BoolSettingKey primaryRBNEnabled{L1("primaryRBNEnabled"), false};
inline constexpr BoolSettingKey primaryRBNCW{L1("primaryRBNCW"), false};
inline constexpr BoolSettingKey primaryRBNBeacon{L1("primaryRBNBeacon"), false};
inline constexpr BoolSettingKey primaryRBNPSK{L1("primaryRBNPSK"), false};
inline constexpr BoolSettingKey primaryRBNRTTY{L1("primaryRBNRTTY"), false};
inline constexpr BoolSettingKey primaryRBNFT{L1("primaryRBNFT"), false};

// Re-serving spots
inline constexpr BoolSettingKey localTelnetServerEnabled{L1("localTelnetServerEnabled"), false};
inline constexpr StringSettingKey localTelnetServerPort{L1("localTelnetServerPort"), L1("7300")};
inline constexpr BoolSettingKey udpFeedEnabled{L1("udpFeedEnabled"), false};
inline constexpr StringSettingKey udpFeedDestination{L1("udpFeedDestination"), L1("127.0.0.1")};
inline constexpr StringSettingKey udpFeedPort{L1("udpFeedPort"), L1("7301")};
inline constexpr StringSettingKey udpFeedMode{L1("udpFeedMode"), L1("everything")}; // or "alerts"

// Main window local filters
inline constexpr BoolSettingKey hideFTxSpots{L1("hideFTxSpots"), false};
inline constexpr BoolSettingKey hideBeaconSpots{L1("hideBeaconSpots"), false};
inline constexpr BoolSettingKey hideCWSpots{L1("hideCWSpots"), false};
inline constexpr BoolSettingKey hideSSBSpots{L1("hideSSBSpots"), false};
inline constexpr BoolSettingKey hideOtherDigitalSpots{L1("hideOtherDigitalSpots"), false};
inline constexpr BoolSettingKey hideQRPSpots{L1("hideQRPSpots"), false};
inline constexpr BoolSettingKey hideSameDXCCSpots{L1("hideSameDXCCSpots"), false};
inline constexpr DataSettingKey selectedBandFilters{L1("selectedBandFilters")}; // band names
inline constexpr DataSettingKey hiddenDXFromContinents{
    L1("hiddenDXFromContinents")};                                                // continent codes
inline constexpr DataSettingKey hiddenDXByContinents{L1("hiddenDXByContinents")}; // continent codes
inline constexpr BoolSettingKey customSpotterEntityFilterEnabled{
    L1("customSpotterEntityFilterEnabled"), false};
inline constexpr DataSettingKey customSpotterEntityADIFNumbers{
    L1("customSpotterEntityADIFNumbers")};
inline constexpr BoolSettingKey customInfoFilterEnabled{L1("customInfoFilterEnabled"), false};
inline constexpr DataSettingKey customInfoFilterTerms{L1("customInfoFilterTerms")};
inline constexpr StringSettingKey customSpotterHomeGrid{L1("customSpotterHomeGrid"), L1("")};
inline constexpr StringSettingKey customSpotterRadius{L1("customSpotterRadius"), L1("")};
inline constexpr StringSettingKey customSpotterDistanceUnit{L1("customSpotterDistanceUnit"),
                                                            L1("miles")}; // or "kilometres"
inline constexpr BoolSettingKey advancedMode{L1("advancedMode"), false};
inline constexpr StringSettingKey DXSpotTableViewPreset{L1("DXSpotTableViewPreset"),
                                                        L1("default")}; // "small", "custom"
inline constexpr DataSettingKey DXSpotTableColumnLayout{L1("DXSpotTableColumnLayout")};
inline constexpr BoolSettingKey DXSpotTableShowLocalTime{L1("DXSpotTableShowLocalTime"), false};

// Spot alerts
inline constexpr DataSettingKey spotAlertsEnabled{L1("spotAlertsEnabled")}; // five flags
inline constexpr DataSettingKey spotAlertsConfiguration{
    L1("spotAlertsConfiguration")}; // five alerts
inline constexpr BoolSettingKey spotAlert1Enabled{L1("spotAlert1Enabled"),
                                                  false}; // read only to migrate
inline constexpr DataSettingKey spotAlert1Configuration{
    L1("spotAlert1Configuration")}; // read only to migrate
inline constexpr BoolSettingKey newSlotAlertEnabled{L1("newSlotAlertEnabled"), false};
inline constexpr DataSettingKey newSlotAlertConfiguration{L1("newSlotAlertConfiguration")};
inline constexpr DataSettingKey newSlotAlertLookup{L1("newSlotAlertLookup")};
inline constexpr BoolSettingKey newSlotAlertHighlightColourMigrated{
    L1("newSlotAlertHighlightColourMigrated"), false};
inline constexpr BoolSettingKey clubLogPopulateExplanationDismissed{
    L1("clubLogPopulateExplanationDismissed"), false};
inline constexpr StringSettingKey clubLogCallsign{L1("clubLogCallsign"), L1("")};
inline constexpr StringSettingKey clubLogEmail{L1("clubLogEmail"), L1("")};
inline constexpr StringSettingKey clubLogAppPassword{L1("clubLogAppPassword"), L1("")};

// Application shell
inline constexpr StringSettingKey VarnelloMainWindowFrame{L1("VarnelloMainWindowFrame"), L1("")};
// The frame above stays the normal geometry, the one un-maximising returns to.
inline constexpr BoolSettingKey VarnelloMainWindowMaximized{L1("VarnelloMainWindowMaximized"),
                                                            false};
inline constexpr StringSettingKey VarnelloSettingsWindowFrame{L1("VarnelloSettingsWindowFrame"),
                                                              L1("")};
inline constexpr BoolSettingKey startVarnelloAtLogin{L1("startVarnelloAtLogin"), false};
inline constexpr StringSettingKey updateCheckFrequency{L1("updateCheckFrequency"),
                                                       L1("daily")}; // "weekly", "disabled"
inline constexpr OptionalDoubleSettingKey lastSuccessfulUpdateCheck{
    L1("lastSuccessfulUpdateCheck")};                                      // s since 1970
inline constexpr DoubleSettingKey lastUsagePing{L1("lastUsagePing"), 0.0}; // s since 1970
// Lower-case UUID; a reader that finds it empty creates one. Survives Factory Reset.
inline constexpr StringSettingKey installationID{L1("installationID"), L1("")};
} // namespace SettingsKeys

} // namespace varnello
