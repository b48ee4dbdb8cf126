#pragma once

#include <QString>
#include <QVariantMap>

namespace varnello {

// Which preset the spot table shows, as the View menu reflects it.
enum class MainViewPresetState { defaultView, smallView, custom };

// From the stored DXSpotTableViewPreset: exactly "small" or "default", anything else is custom.
MainViewPresetState initialMainViewPresetState(const QString &storedPreset);

// From the table's varnelloViewPresetStateChanged user information ("state" = "default", "small"
// or "custom"); anything malformed counts as custom.
MainViewPresetState presetStateFromUserInfo(const QVariantMap &userInfo);

} // namespace varnello
