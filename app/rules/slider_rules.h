// How the window's sliders move and what their positions mean.
#pragma once

#include <cstdint>

// What moved a slider: the values of Qt's QAbstractSlider::SliderAction (the
// window passes its slider's action as it is; it checks they agree), and the
// release that ends a drag.
enum class SliderMove : int {
    None = 0,
    StepTowardsMax = 1, // one step towards the maximum
    StepTowardsMin = 2, // one step towards the minimum
    PageTowardsMax = 3, // a page towards the maximum
    PageTowardsMin = 4, // a page towards the minimum
    ToMin = 5,
    ToMax = 6,
    Drag = 7,    // a step of a drag
    Release = 8, // the end of a drag
};

struct SliderState {
    int nMin = 0;
    int nMax = 100;
    int nPage = 10;
    int nPos = 0; // where the slider stood before this scroll
};

// The slider's new position for a move and the thumb's position. Steps apply
// to the position before the move, so a step moves one step, however far the
// slider has already moved itself.
int StepSlider(const SliderState& slider, SliderMove move, int nThumb);

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
