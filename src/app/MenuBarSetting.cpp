#include "app/MenuBarSetting.h"

#include "model/Settings.h"

namespace vorn {

MenuBarSetting::MenuBarSetting(Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings),
      m_on(settings.boolValue(QString::fromLatin1(kShowInMenuBarKey), false))
{
}

void MenuBarSetting::setOn(bool on)
{
    if (on == m_on)
        return;
    m_on = on;
    m_settings.setValue(QString::fromLatin1(kShowInMenuBarKey), on);
    Q_EMIT changed(on);
}

} // namespace vorn
