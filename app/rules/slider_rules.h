// How the window's sliders move and what their positions mean.
#pragma once

#include <cstdint>

// The scroll codes a slider reports.
enum ScrollCode : unsigned {
    SB_LINEUP = 0,        // one step towards the minimum
    SB_LINEDOWN = 1,      // one step towards the maximum
    SB_PAGEUP = 2,        // a page towards the minimum
    SB_PAGEDOWN = 3,      // a page towards the maximum
    SB_THUMBPOSITION = 4, // the end of a drag
    SB_THUMBTRACK = 5,    // a step of a drag
    SB_TOP = 6,
    SB_BOTTOM = 7,
    SB_ENDSCROLL = 8,
};

struct SliderState {
    int nMin = 0;
    int nMax = 100;
    int nPage = 10;
    int nPos = 0; // where the slider stood before this scroll
};

// The slider's new position for a scroll code and the thumb's position. Steps
// apply to the position before the scroll, so a step moves one step, however
// far the slider has already moved itself.
int StepSlider(const SliderState& slider, unsigned nCode, int nThumb);

// The local volume for a slider position 0..255 (0 at the top, the loudest):
// an attenuation in hundredths of a decibel, -10000..0.
int VolumeToAttenuation(int nPosition);

// The renderer's level for a remote volume slider position (0 at the top).
constexpr int RemoteLevelFromPosition(int nPosition)
{
    return 255 - nPosition;
}

// The sliders' ranges and the settings' defaults.
constexpr int kVolumeMin = 0, kVolumeMax = 255;
constexpr int kBalanceMin = -127, kBalanceMax = 128;
constexpr int kLevelPageSize = 10, kLevelTickInterval = 32;
constexpr int kPositionPageSize = 10, kPositionTickInterval = 10;
