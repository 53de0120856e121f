// The window's rules that need no widget.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "audio_files.h"
#include "renderer_notice.h"
#include "slider_rules.h"
#include "status_text.h"
#include "time_text.h"
#include "window_ids.h"
#include "window_strings.h"

namespace fs = std::filesystem;

TEST(StatusText, FormatsCodesAndEightBitText)
{
    const struct {
        std::string strOut;
        std::string strExpected;
    } cases[] = {
        {FormatStatus("An error occurred during file playback: %08X", {0x80004005u}),
         "An error occurred during file playback: 80004005"},
        {FormatStatus("%08X", {1u}), "00000001"},
        {FormatStatus("%08X", {std::int32_t{-2147024894}}), "80070002"},
        {FormatStatus("Cannot establish connection with Skype: %S", {"ERROR 68"}),
         "Cannot establish connection with Skype: ERROR 68"},
        {FormatStatus("%S", {"Jos\xC3\xA9"}), "Jos\xC3\xA9"}, // valid UTF-8 kept
        {FormatStatus("%S", {"Jos\xE9"}), "Jos\xC3\xA9"},     // else Latin-1
        {FormatStatus("%S", {"\xED\xA0\x80"}),
         "\xC3\xAD\xC2\xA0\xC2\x80"}, // a surrogate is not UTF-8
        {FormatStatus("Adding files: %d of %d", {3u, 1000u}), "Adding files: 3 of 1000"},
        {FormatStatus("100%% %08X"), "100% "},
        {FormatStatus("Playback completed.\n"), "Playback completed.\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.strOut, c.strExpected);
}

TEST(StatusText, OneLineFieldDropsTrailingLineBreaks)
{
    EXPECT_EQ(StatusLineText("Call finished.\n"), "Call finished.");
    EXPECT_EQ(StatusLineText("a\nb\r\n"), "a\nb");
    EXPECT_EQ(StatusLineText(""), "");
}

// The last moment and the one after, either side of the wrap: the window's
// tests.
TEST(StatusText, ExpiresAfterSevenSecondsAcrossTheWrap)
{
    const struct {
        std::uint32_t dwWritten, dwNow;
        bool bExpired;
    } cases[] = {
        {0, 7000, false},
        {0xFFFFFFFFu, 0x00001B57u, false}, // 7000 ms over the wrap
        {5000, 5000, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsStatusExpired(c.dwNow, c.dwWritten), c.bExpired)
            << c.dwWritten << " -> " << c.dwNow;
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
        {top, PageTowardsMin, 0, 0},  {mid, Release, 42, 42},
        {mid, Drag, 17, 17},          {mid, ToMin, 0, 0},
        {mid, ToMax, 0, 255},         {high, ToMin, 0, -127},
        {mid, None, 7, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StepSlider(c.s, c.move, c.nThumb), c.nExpected)
            << "move " << static_cast<int>(c.move);
}

TEST(Sliders, VolumeToAttenuationFollowsTheVolumeLaw)
{
    const std::pair<int, int> cases[] = {{0, 0},       {20, 0},      {21, -1},  {176, -574},
                                         {200, -1317}, {255, -9999}, {128, -99}};
    for (const auto& [nPosition, nExpected] : cases)
        EXPECT_EQ(VolumeToAttenuation(nPosition), nExpected) << nPosition;
    EXPECT_EQ(RemoteLevelFromPosition(0), 255);
    EXPECT_EQ(RemoteLevelFromPosition(176), 79);
}

TEST(TimeText, MinutesAreNotFoldedIntoHours)
{
    EXPECT_EQ(FormatTimeDisplay(0, 185), "00:00/03:05");
    EXPECT_EQ(FormatTimeDisplay(61, 6000), "01:01/100:00");
}

// Codes 1, 4 and unknown ones: the window's tests, with the icon they set.
TEST(RendererNotices, EveryCodeHasItsTextAndEffect)
{
    const struct {
        unsigned nCode;
        const char* pszText; // nullptr: nothing shown
        StatusIcon icon;
        bool bLost;
    } cases[] = {
        {0, "An error occurred: 80004005", StatusIcon::Unchanged, false},
        {2, "Skype has disconnected!", StatusIcon::NotConnected, true},
        {3, "Cannot record audio: 80004005", StatusIcon::Unchanged, false},
        {5, "Playback error occurred: 80004005", StatusIcon::Unchanged, false},
        {6, "Recording on a microphone started", StatusIcon::Unchanged, false},
        {7, "Recording on a microphone stopped", StatusIcon::Unchanged, false},
        {8, "An audio output does not start", StatusIcon::Unchanged, false},
    };
    for (const auto& c : cases) {
        const RendererNotice notice = DescribeRendererNotify(c.nCode, 0x80004005u);
        EXPECT_EQ(notice.strStatus.value_or("(none)"), c.pszText ? c.pszText : "(none)");
        EXPECT_EQ(notice.icon, c.icon) << c.nCode;
        EXPECT_EQ(notice.bTransmissionLost, c.bLost) << c.nCode;
    }
}

TEST(ToolTips, StatusIconTellsWhetherTheCallTakesOurInput)
{
    EXPECT_STREQ(ToolTipFor(IDC_STATUS_ICON, false),
                 "Skype is not connected or there is no active call, playback is local only");
    EXPECT_STREQ(ToolTipFor(IDC_STATUS_ICON, true),
                 "Skype is connected and a call is under way, the files played now are "
                 "transmitted to your party");
}

TEST(AudioFiles, FoldersAndPlaylistsExpandInOrder)
{
    const fs::path root = fs::temp_directory_path() / ("drop-" + std::to_string(getpid()));
    fs::create_directories(root / "b-sub" / "deeper");
    for (const char* name : {"c.MP3", "a.wav", "notes.txt", "b-sub/z.flac", "b-sub/deeper/y.ogg",
                             "b-sub/cover.jpg", "d.opus"})
        std::ofstream(root / name) << "x";
    std::ofstream(root / "b-sub" / "list.M3U")
        << "#EXTM3U\n#EXTINF:61,Kept title\ndeeper/y.ogg\n/abs/x.mp3\nhttp://host/s.mp3\n";
    const auto added = [](const fs::path& path) {
        std::vector<std::string> out;
        for (const PlaylistItem& item : ExpandAddedPath(path))
            out.push_back(item.path.string() + "|" + item.title + "|" +
                          std::to_string(item.duration));
        return out;
    };
    const std::string r = root.string();
    EXPECT_EQ(added(root), (std::vector<std::string>{r + "/a.wav||0", r + "/b-sub/deeper/y.ogg||0",
                                                     r + "/b-sub/z.flac||0", r + "/c.MP3||0",
                                                     r + "/d.opus||0"}));
    EXPECT_EQ(added(root / "notes.txt"), std::vector<std::string>{r + "/notes.txt||0"});
    EXPECT_EQ(added(root / "b-sub/list.M3U"),
              (std::vector<std::string>{r + "/b-sub/deeper/y.ogg|Kept title|61", "/abs/x.mp3||0",
                                        "http://host/s.mp3||0"}));
    EXPECT_NE(AudioFileDialogFilters().front().find("*.m4a"), std::string::npos);
    fs::remove_all(root);
}
