// The file adder's worker and its hand-over to the owner's thread, also run
// under ThreadSanitizer.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "app_testkit.h"
#include "file_adder.h"

using namespace apptest;

// Closing finishes the adds on the spot: no event loop turns in between.
// Entries already listed are described after them, and only those whose
// description found something come back, not counted as added files. A stop
// while the worker is busy hands over nothing more.
TEST(FileAdder, KeepsOrderFinishesAtOnceDescribesAndStops)
{
    const fs::path folder = TempFolder("adder");
    fs::create_directories(folder / "album");
    for (int i = 0; i < 300; ++i)
        std::ofstream(folder / "album" / (std::to_string(1000 + i) + ".wav")) << "x";
    std::ofstream(folder / "list.m3u") << "#EXTINF:5,Listed\nalbum/1000.wav\n";
    // Two MPEG-1 layer III frames, the first a Xing header counting 1000 frames (26 s).
    std::string frame = "\xFF\xFB\x90\x64" + std::string(32, '\0') + "Xing" +
                        std::string("\0\0\0\x01\0\0\x03\xE8", 8);
    frame.resize(417, '\0');
    const fs::path song = folder / "song.mp3";
    std::ofstream(song, std::ios::binary) << frame << frame;
    std::vector<std::pair<std::uint64_t, std::string>> added;
    std::size_t nLastDone = 0, nLastFound = 0;
    std::vector<std::tuple<std::int32_t, std::string, std::int32_t>> described;
    CFileAdder adder(
        [&](std::vector<CFileAdder::Added>&& batch) {
            for (const auto& item : batch)
                added.emplace_back(item.nRequest, item.item.title);
        },
        [&](std::size_t nDone, std::size_t nFound) {
            // A later drain of descriptions alone may report the finished burst again as 0 of 0.
            if (nDone + nFound > 0)
                nLastDone = nDone, nLastFound = nFound;
        },
        [&](std::vector<PlaylistItem>&& batch) {
            for (const PlaylistItem& item : batch)
                described.emplace_back(item.id, item.title, item.duration);
        });
    adder.Describe({{7, song, "", 0},                      // lacks both: its length is read
                    {8, folder / "album/1000.wav", "", 0}, // nothing to read in a WAV file
                    {9, song, "Known", 5},                 // lacks nothing: never read
                    {10, song, "Listed", 0}});             // keeps its title
    const std::uint64_t nFirst = adder.Add({folder / "b.mp3", folder / "album"});
    const std::uint64_t nSecond = adder.Add({folder / "list.m3u"});
    ASSERT_TRUE(adder.FinishAdds(60s));
    ASSERT_EQ(added.size(), 302u);
    EXPECT_EQ(added.front(), std::make_pair(nFirst, std::string("b")));
    EXPECT_EQ(added.back(), std::make_pair(nSecond, std::string("Listed")));

    ASSERT_TRUE(WaitFor([&] { return !adder.Busy() && described.size() >= 2; }));
    EXPECT_EQ(described, (decltype(described){{7, "", 26}, {10, "Listed", 26}}));
    EXPECT_EQ(added.size(), 302u);
    EXPECT_EQ(std::make_pair(nLastDone, nLastFound), std::make_pair(302ul, 302ul));

    std::size_t nHandedOver = 0;
    {
        CFileAdder stopped([&](auto&& batch) { nHandedOver += batch.size(); },
                           [](std::size_t, std::size_t) {});
        for (int i = 0; i < 20; ++i)
            stopped.Add({folder / "album"});
        ASSERT_TRUE(WaitFor([&] { return nHandedOver > 0; }));
    }
    const std::size_t nBeforeStop = nHandedOver;
    QCoreApplication::processEvents();
    EXPECT_EQ(nHandedOver, nBeforeStop);
    EXPECT_LT(nBeforeStop, 20u * 300u);
    fs::remove_all(folder);
}
