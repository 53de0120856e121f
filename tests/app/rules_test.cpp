// The window's rules that need no widget: status texts, sliders, the
// renderer's notices and what adding a path adds.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "audio_files.h"
#include "renderer_notice.h"
#include "slider_rules.h"
#include "status_text.h"

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

TEST(StatusText, FormatsShowsAndExpires)
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
    // Written just before the tick counter wraps, a text still stands its 7 s.
    const std::pair<std::uint32_t, std::uint32_t> standing[] = {
        {0, 7000}, {0xFFFFFFFFu, 0x00001B57u}, {0xFFFFF000u, 0x00000B58u}, {5000, 5000}};
    for (const auto& [dwWritten, dwNow] : standing)
        EXPECT_FALSE(IsStatusExpired(dwNow, dwWritten)) << dwWritten << " -> " << dwNow;
    EXPECT_TRUE(IsStatusExpired(0x00000B59u, 0xFFFFF000u));
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
        {mid, Release, 42, 42},       {mid, Drag, 17, 17},
        {mid, ToMax, 0, 255},         {high, ToMin, 0, -127},
        {mid, None, 7, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StepSlider(c.s, c.move, c.nThumb), c.nExpected)
            << "move " << static_cast<int>(c.move);
}

TEST(Sliders, VolumeToAttenuationFollowsTheVolumeLaw)
{
    const std::pair<int, int> cases[] = {{0, 0}, {20, 0}, {21, -1}, {176, -574}, {255, -9999}};
    for (const auto& [nPosition, nExpected] : cases)
        EXPECT_EQ(VolumeToAttenuation(nPosition), nExpected) << nPosition;
    EXPECT_EQ(RemoteLevelFromPosition(0), 255);
    EXPECT_EQ(RemoteLevelFromPosition(176), 79);
}

// Texts come from one table; only the client's coming and going touch the icon.
TEST(RendererNotices, FormatTheirCodeAndTheLossEndsTransmitting)
{
    const RendererNotice error = DescribeRendererNotify(0, 0x80004005u);
    EXPECT_EQ(error.strStatus, "An error occurred: 80004005");
    EXPECT_EQ(error.icon, StatusIcon::Unchanged);
    EXPECT_FALSE(error.bTransmissionLost);
    const RendererNotice gone = DescribeRendererNotify(2, 0);
    EXPECT_EQ(gone.strStatus, "Skype has disconnected!");
    EXPECT_EQ(gone.icon, StatusIcon::NotConnected);
    EXPECT_TRUE(gone.bTransmissionLost);
}

TEST(AudioFiles, FoldersAndPlaylistsExpandInOrder)
{
    const fs::path root = fs::temp_directory_path() / ("drop-" + std::to_string(getpid()));
    fs::create_directories(root / "b-sub");
    for (const char* name : {"c.MP3", "a.wav", "notes.txt", "b-sub/z.flac"})
        std::ofstream(root / name) << "x";
    std::ofstream(root / "b-sub" / "list.M3U")
        << "#EXTM3U\n#EXTINF:61,Kept title\nz.flac\n/abs/x.mp3\nhttp://host/s.mp3\n";
    const auto added = [](const fs::path& path) {
        Strings out;
        for (const PlaylistItem& item : ExpandAddedPath(path))
            out.push_back(item.path.string() + "|" + item.title + "|" +
                          std::to_string(item.duration));
        return out;
    };
    const std::string r = root.string();
    EXPECT_EQ(added(root), (Strings{r + "/a.wav||0", r + "/b-sub/z.flac||0", r + "/c.MP3||0"}));
    EXPECT_EQ(added(root / "notes.txt"), Strings{r + "/notes.txt||0"});
    EXPECT_EQ(added(root / "b-sub/list.M3U"), (Strings{r + "/b-sub/z.flac|Kept title|61",
                                                       "/abs/x.mp3||0", "http://host/s.mp3||0"}));
    fs::remove_all(root);
}
