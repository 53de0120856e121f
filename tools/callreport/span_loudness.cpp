#include "span_loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace callreport {

double SpanLoudness(const CRecording& recording, int nFromMs, int nToMs)
{
    const auto sample = [&](int nMs) {
        const auto n =
            static_cast<std::size_t>(static_cast<long long>(nMs) * recording.m_nRate / 1000);
        return std::min(n, recording.m_samples.size());
    };
    const std::size_t nFrom = sample(std::max(nFromMs, 0));
    const std::size_t nTo = sample(std::max(nToMs, 0));
    if (nTo <= nFrom || recording.m_nRate <= 0)
        return -HUGE_VAL;
    struct Free {
        void operator()(ebur128_state* p) const { ebur128_destroy(&p); }
    };
    std::unique_ptr<ebur128_state, Free> pState(
        ebur128_init(1, static_cast<unsigned long>(recording.m_nRate), EBUR128_MODE_I));
    if (!pState)
        return -HUGE_VAL;
    ebur128_set_channel(pState.get(), 0, EBUR128_DUAL_MONO);
    ebur128_add_frames_short(pState.get(), recording.m_samples.data() + nFrom, nTo - nFrom);
    double dLoudness = -HUGE_VAL;
    ebur128_loudness_global(pState.get(), &dLoudness);
    return dLoudness;
}

} // namespace callreport
