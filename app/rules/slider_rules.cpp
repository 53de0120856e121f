#include "slider_rules.h"

#include <algorithm>
#include <cmath>

int StepSlider(const SliderState& s, SliderMove move, int nThumb)
{
    const int q = s.nPos;
    switch (move) {
    case SliderMove::StepTowardsMin:
        return q > s.nMin ? q - 1 : q;
    case SliderMove::StepTowardsMax:
        return q < s.nMax ? q + 1 : q;
    case SliderMove::PageTowardsMin:
        return q > s.nMin ? std::max(s.nMin, q - s.nPage) : q;
    case SliderMove::PageTowardsMax:
        return q < s.nMax ? std::min(s.nMax, q + s.nPage) : q;
    case SliderMove::Release:
    case SliderMove::Drag:
        return nThumb;
    case SliderMove::ToMin:
        return s.nMin;
    case SliderMove::ToMax:
        return s.nMax;
    case SliderMove::None:
        return q;
    }
    return q;
}

int VolumeToAttenuation(int nPosition)
{
    const int nPercent = nPosition * 100 / 255;
    const double dVolume = 1.0 - std::exp(std::log(10.0) * nPercent / 25.0);
    const double dTruncated = std::trunc(dVolume);
    if (dTruncated < -10000.0)
        return -10000;
    if (dTruncated > 0.0)
        return 0;
    return static_cast<int>(dTruncated);
}
