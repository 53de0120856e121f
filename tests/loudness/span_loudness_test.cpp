// The demo report's loudness per file: a span of a recording, as the call's
// listener hears its one channel.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "span_loudness.h"

namespace {

// nSeconds of silence, then a 1 kHz sine at dAmplitude (full scale 1) for
// nSeconds, then silence again, at 16 kHz.
callreport::CRecording SineBetweenSilences(double dAmplitude, int nSeconds)
{
    callreport::CRecording recording;
    const int nSpan = nSeconds * recording.m_nRate;
    recording.m_samples.assign(static_cast<std::size_t>(3 * nSpan), 0);
    for (int n = 0; n < nSpan; ++n)
        recording.m_samples[static_cast<std::size_t>(nSpan + n)] = static_cast<std::int16_t>(
            std::lround(32767 * dAmplitude * std::sin(2 * std::numbers::pi * 1000 * n / 16000.0)));
    return recording;
}

TEST(SpanLoudness, MeasuresTheSpanAsHeardOnBothSides)
{
    struct Case {
        double dAmplitude;
        int nFromMs, nToMs;
        double dLufs, dWithin;
    };
    // A 1 kHz sine at -20 dBFS on both sides reads -20 LUFS. Over the silence
    // around it the silent blocks are gated away, but the blocks that straddle
    // its edges pull the figure down a little.
    const Case cases[] = {
        {0.1, 2000, 4000, -20.0, 0.1},   {0.5, 2000, 4000, -6.02, 0.1},
        {0.1, 0, 6000, -20.0, 1.0},      {0.1, 0, 2000, -HUGE_VAL, 0},
        {0.1, 4000, 3000, -HUGE_VAL, 0}, {0.1, 5000, 9000, -HUGE_VAL, 0},
    };
    for (const Case& c : cases) {
        const double dLufs =
            callreport::SpanLoudness(SineBetweenSilences(c.dAmplitude, 2), c.nFromMs, c.nToMs);
        if (std::isinf(c.dLufs)) {
            EXPECT_TRUE(std::isinf(dLufs) && dLufs < 0) << c.nFromMs << " " << dLufs;
        } else {
            EXPECT_NEAR(dLufs, c.dLufs, c.dWithin) << c.nFromMs << "-" << c.nToMs;
        }
    }
}

} // namespace
