#include "slider_rules.h"

#include <algorithm>
#include <cmath>

int StepSlider(const SliderState& s, unsigned nCode, int nThumb)
{
    const int q = s.nPos;
    switch (nCode) {
    case SB_LINEUP:
        return q > s.nMin ? q - 1 : q;
    case SB_LINEDOWN:
        return q < s.nMax ? q + 1 : q;
    case SB_PAGEUP:
        return q > s.nMin ? std::max(s.nMin, q - s.nPage) : q;
    case SB_PAGEDOWN:
        return q < s.nMax ? std::min(s.nMax, q + s.nPage) : q;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        return nThumb;
    case SB_TOP:
        return s.nMin;
    case SB_BOTTOM:
        return s.nMax;
    default:
        return q;
    }
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
