// What the player reports: the end of the file, a failure that aborted
// playback, and the renderer's notifications. Each call comes from the main
// loop of the thread that made the player (for the window, Qt's loop on the
// UI thread), in the order the pipeline and the renderer posted them; never
// from inside one of the player's own methods.
#pragma once

#include <cstdint>
#include <string>

#include "voxreel/hresult.h"

class CDSPlayerCallback {
public:
    // An OpenAsync ended: S_OK, the file paused at 0; or why it failed (the
    // player's LastError and LastErrorText give the same).
    virtual void OnFileOpened(HRESULT hr) { (void)hr; }
    // Every stream reached its end.
    virtual void OnPlaybackCompleted() = 0;
    // The pipeline reported an error that aborted playback: its code and why,
    // in the user's words (empty when GStreamer did not say). The player's
    // LastError and LastErrorText already give the same.
    virtual void OnPlaybackFailed(HRESULT hr, const std::string& strReason) = 0;
    // The renderer's notification: nCode is a NotifyCode (voxreel/ids.h),
    // nValue its HRESULT or 0. Ignored unless overridden.
    virtual void OnRendererNotice(int nCode, std::uint32_t nValue)
    {
        (void)nCode;
        (void)nValue;
    }
    virtual ~CDSPlayerCallback() = default;
};
