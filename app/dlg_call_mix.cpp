// The window's part in the call's mix beyond the mix law: talk-over's check
// button beside the balance, the limiter chosen in the settings, and the
// two level meters fed from the renderer.
#include <QCheckBox>

#include "meters/meter_panel.h"
#include "rules/settings_keys.h"
#include "voxreel/callfeed_control.h"
#include "voxreel_dlg.h"

void CVoxreelDlg::ConnectCallMix()
{
    const bool bTalkOver = m_settings.GetProfileInt(kSettingTalkOver, 0) != 0;
    const double dDepth = m_settings.GetProfileInt(kSettingTalkOverDepth, kDefaultTalkOverDepth);
    if (GstElement* pRenderer = m_player.Renderer()) {
        g_object_set(pRenderer, kTalkOverProperty, gboolean(bTalkOver), kTalkOverDepthProperty,
                     dDepth, kCallLimiterProperty, gboolean(CallLimiterSetting()), nullptr);
        m_ui.pMeters->Start(
            [this](CallLevels* pLevels) { return m_player.TakeCallLevels(pLevels); });
    }
    m_ui.pTalkOver->setChecked(bTalkOver);
    connect(m_ui.pTalkOver, &QCheckBox::toggled, this, [this](bool bOn) {
        m_settings.WriteProfileInt(kSettingTalkOver, bOn ? 1 : 0);
        if (GstElement* pRenderer = m_player.Renderer())
            g_object_set(pRenderer, kTalkOverProperty, gboolean(bOn), nullptr);
    });
}

bool CVoxreelDlg::CallLimiterSetting() const
{
    return m_settings.GetProfileInt(kSettingCallLimiter, 0) != 0;
}

void CVoxreelDlg::ApplyCallLimiter(bool bOn)
{
    m_settings.WriteProfileInt(kSettingCallLimiter, bOn ? 1 : 0);
    if (GstElement* pRenderer = m_player.Renderer())
        g_object_set(pRenderer, kCallLimiterProperty, gboolean(bOn), nullptr);
}
