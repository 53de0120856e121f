// What the player reports from the pipeline's events (called from
// CDSPlayer::ProcessEvents, on the caller's thread).
#pragma once

#include "voxreel/hresult.h"

class CDSPlayerCallback {
public:
    // The pipeline reported an error that aborted playback.
    virtual void OnPlaybackFailed(HRESULT hr) = 0;
    // Every stream reached its end.
    virtual void OnPlaybackCompleted() = 0;
    virtual ~CDSPlayerCallback() = default;
};
