#include "MainViewPreset.h"

namespace varnello {

MainViewPresetState initialMainViewPresetState(const QString &storedPreset)
{
    if (storedPreset == QLatin1String("small"))
        return MainViewPresetState::smallView;
    if (storedPreset == QLatin1String("default"))
        return MainViewPresetState::defaultView;
    return MainViewPresetState::custom;
}

MainViewPresetState presetStateFromUserInfo(const QVariantMap &userInfo)
{
    const QVariant state = userInfo.value(QStringLiteral("state"));
    if (state.typeId() != QMetaType::QString)
        return MainViewPresetState::custom;
    return initialMainViewPresetState(state.toString());
}

} // namespace varnello
