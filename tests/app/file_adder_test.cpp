// The file adder's worker and its hand-over to the owner's thread, also run
// under ThreadSanitizer: order across requests, request numbers, finishing
// at once, and a stop while the worker is busy.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <fstream>

#include "app_testkit.h"
#include "file_adder.h"

using namespace apptest;

namespace {

class FileAdder : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = TempFolder("adder");
        fs::create_directories(m_folder / "album");
        for (int i = 0; i < 300; ++i)
            std::ofstream(m_folder / "album" / (std::to_string(1000 + i) + ".wav")) << "x";
        std::ofstream(m_folder / "list.m3u") << "#EXTINF:5,Listed\nalbum/1000.wav\n";
    }
    void TearDown() override { fs::remove_all(m_folder); }

    fs::path m_folder;
    std::vector<std::pair<std::uint64_t, std::string>> m_added;
    std::size_t m_nLastDone = 0, m_nLastFound = 0;
};

} // namespace

// Closing finishes the adds on the spot: no event loop turns in between.
TEST_F(FileAdder, KeepsOrderAcrossRequestsAndNamesThemWhenFinishedAtOnce)
{
    CFileAdder adder(
        [&](std::vector<CFileAdder::Added>&& batch) {
            for (const auto& added : batch)
                m_added.emplace_back(added.nRequest, added.item.title);
        },
        [&](std::size_t nDone, std::size_t nFound) { m_nLastDone = nDone, m_nLastFound = nFound; });
    const std::uint64_t nFirst = adder.Add({m_folder / "b.mp3", m_folder / "album"});
    const std::uint64_t nSecond = adder.Add({m_folder / "list.m3u"});
    EXPECT_EQ(nSecond, nFirst + 1);
    ASSERT_TRUE(adder.FinishAdds(60s));
    ASSERT_EQ(m_added.size(), 302u);
    EXPECT_EQ(m_added.front(), std::make_pair(nFirst, std::string("b")));
    EXPECT_EQ(m_added[1], std::make_pair(nFirst, std::string("1000")));
    EXPECT_EQ(m_added[300], std::make_pair(nFirst, std::string("1299")));
    EXPECT_EQ(m_added.back(), std::make_pair(nSecond, std::string("Listed")));
    EXPECT_EQ(m_nLastDone, 302u);
    EXPECT_EQ(m_nLastFound, 302u);
}

TEST_F(FileAdder, StopsWhileBusyWithoutHandingOverMore)
{
    {
        CFileAdder adder(
            [&](std::vector<CFileAdder::Added>&& batch) {
                m_added.resize(m_added.size() + batch.size());
            },
            [](std::size_t, std::size_t) {});
        for (int i = 0; i < 20; ++i)
            adder.Add({m_folder / "album"});
        ASSERT_TRUE(WaitFor([&] { return !m_added.empty(); }));
    }
    const std::size_t nAdded = m_added.size();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_added.size(), nAdded);
    EXPECT_LT(nAdded, 20u * 300u);
}

// Entries already listed are described after the files being added, and
// only those whose description found something come back, not counted as
// added files.
TEST_F(FileAdder, DescribesListedEntriesAndHandsBackWhatItFound)
{
    // Two MPEG-1 layer III frames, the first a Xing header counting 1000
    // frames (26 s).
    std::string frame = "\xFF\xFB\x90\x64" + std::string(32, '\0') + "Xing" +
                        std::string("\0\0\0\x01\0\0\x03\xE8", 8);
    frame.resize(417, '\0');
    const fs::path song = m_folder / "song.mp3";
    std::ofstream(song, std::ios::binary) << frame << frame;
    std::vector<PlaylistItem> described;
    CFileAdder adder(
        [&](std::vector<CFileAdder::Added>&& batch) {
            for (const auto& added : batch)
                m_added.emplace_back(added.nRequest, added.item.title);
        },
        [&](std::size_t nDone, std::size_t nFound) {
            // A later drain of descriptions alone may report the finished burst again as 0 of 0.
            if (nDone + nFound > 0)
                m_nLastDone = nDone, m_nLastFound = nFound;
        },
        [&](std::vector<PlaylistItem>&& batch) {
            described.insert(described.end(), batch.begin(), batch.end());
        });
    const std::vector<PlaylistItem> entries = {
        {7, song, "", 0},                        // lacks both: its length is read
        {8, m_folder / "album/1000.wav", "", 0}, // nothing to read in a WAV file
        {9, song, "Known", 5},                   // lacks nothing: never read
        {10, song, "Listed", 0}};                // keeps its title
    adder.Describe(entries);
    adder.Add({m_folder / "b.mp3"});
    ASSERT_TRUE(WaitFor([&] { return !adder.Busy() && m_added.size() == 1; }));
    ASSERT_EQ(described.size(), 2u);
    EXPECT_EQ(described[0].id, 7);
    EXPECT_EQ(described[0].title, "");
    EXPECT_EQ(described[0].duration, 26);
    EXPECT_EQ(described[1].id, 10);
    EXPECT_EQ(described[1].title, "Listed");
    EXPECT_EQ(described[1].duration, 26);
    EXPECT_EQ(m_nLastDone, 1u);
    EXPECT_EQ(m_nLastFound, 1u);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
