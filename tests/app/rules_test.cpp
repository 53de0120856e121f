// The window's rules that need no widget: status texts, sliders and the
// renderer's notices. How long a status text stands is checked in the window,
// across the tick counter's wrap.
#include <gtest/gtest.h>

#include "renderer_notice.h"
#include "slider_rules.h"
#include "status_text.h"

TEST(StatusText, FormatsAndShows)
{
    const std::pair<std::string, std::string> formatted[] = {
        {FormatStatus("%08X", {1u}), "00000001"},
        {FormatStatus("%08X", {std::int32_t{-2147024894}}), "80070002"},
        {FormatStatus("%S", {"Jos\xC3\xA9"}), "Jos\xC3\xA9"},               // valid UTF-8 kept
        {FormatStatus("%S", {"Jos\xE9"}), "Jos\xC3\xA9"},                   // else Latin-1
        {FormatStatus("%S", {"\xED\xA0\x80"}), "\xC3\xAD\xC2\xA0\xC2\x80"}, // no surrogates
        {FormatStatus("Adding files: %d of %d", {3u, 1000u}), "Adding files: 3 of 1000"},
        {FormatStatus("100%% %08X"), "100% "},             // a missing argument formats as nothing
        {std::string(StatusLineText("a\nb\r\n")), "a\nb"}, // only the ending breaks go
    };
    for (const auto& [strOut, strExpected] : formatted)
        EXPECT_EQ(strOut, strExpected);
}

TEST(Sliders, StepSliderMovesOneStepPerMove)
{
    using enum SliderMove;
    const SliderState mid{0, 255, 10, 100}, low{0, 255, 10, 4}, top{0, 255, 10, 0},
        bottom{0, 255, 10, 255}, high{-127, 128, 10, 125};
    const struct {
        SliderState s;
        SliderMove move;
        int nThumb, nExpected;
    } cases[] = {
        {mid, StepTowardsMin, 0, 99}, {mid, StepTowardsMax, 0, 101},
        {top, StepTowardsMin, 0, 0},  {bottom, StepTowardsMax, 0, 255},
        {mid, PageTowardsMin, 0, 90}, {mid, PageTowardsMax, 0, 110},
        {low, PageTowardsMin, 0, 0},  {high, PageTowardsMax, 0, 128},
        {mid, Release, 42, 42},       {mid, ToMax, 0, 255},
        {high, ToMin, 0, -127},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StepSlider(c.s, c.move, c.nThumb), c.nExpected)
            << "move " << static_cast<int>(c.move);
}

// Only the port's client leaving ends transmitting (the texts and the icon
// are checked in the window).
TEST(RendererNotices, OnlyTheClientLeavingEndsTransmitting)
{
    EXPECT_TRUE(DescribeRendererNotify(2, 0).bTransmissionLost);
    EXPECT_FALSE(DescribeRendererNotify(0, 0x80004005u).bTransmissionLost);
}
