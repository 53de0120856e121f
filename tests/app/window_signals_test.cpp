// What the real window tells its followers, and where its transport takes
// playback, through a session on generated files: commands, a seek, the
// volume, edits of the list, the ends of files, a missing file and a file
// added to play.
#include <QMetaEnum>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>

#include "rules/window_ids.h"
#include "window_testkit.h"

using namespace apptest;

TEST_F(WindowTest, SignalsFollowEveryChangeOfPlayback)
{
    // "one" is long enough never to end here, and never to reach its middle
    // within a wait from its start; "two" ends within the test.
    std::ofstream(m_folder / "default.m3u") << MakeTone(m_folder / "one.wav", 60.0).string() << "\n"
                                            << MakeTone(m_folder / "two.wav", 1.5).string() << "\n";
    const fs::path three = MakeTone(m_folder / "three.wav", 30.0);
    CVoxreelDlg& dlg = Open();
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsAddingFiles(); }));
    std::vector<std::string> log;
    const auto add = [&](const std::string& line) { log.push_back(line); };
    QObject::connect(&dlg, &CVoxreelDlg::playbackStateChanged, [&](auto state) {
        add(std::string("state ") +
            QMetaEnum::fromType<CVoxreelDlg::PlaybackState>().valueToKey(static_cast<int>(state)));
    });
    QObject::connect(&dlg, &CVoxreelDlg::currentEntryChanged,
                     [&](std::int32_t id) { add("entry " + std::to_string(id)); });
    QObject::connect(&dlg, &CVoxreelDlg::positionJumped,
                     [&](std::uint32_t n) { add("jumped " + std::to_string(n)); });
    QObject::connect(&dlg, &CVoxreelDlg::localVolumeChanged,
                     [&](int n) { add("volume " + std::to_string(n)); });
    QObject::connect(&dlg, &CVoxreelDlg::playlistChanged, [&] { add("playlist"); });
    const auto run = [&](int nId) { return [&dlg, nId] { dlg.RunCommand(nId); }; };
    const auto position = [&] { return dlg.Player().GetPosition(); };
    const auto pastMiddle = [&] { return position() >= 30; };
    const auto beforeMiddle = [&] { return position() < 30; };
    const auto completed = [&] { return Showed("Playback completed."); };
    const auto running = [&] { return dlg.Player().IsRunning(); };
    const auto addToPlay = [&](fs::path path) {
        return [&dlg, path] { dlg.AddPaths({path}, true); };
    };
    const auto unmarked = [&] {
        for (int nRow = 0; nRow < Rows()->rowCount(); ++nRow)
            if (!Rows()->index(nRow, 0).data(Qt::DecorationRole).isNull())
                return false;
        return Text(1006).empty();
    };
    // Its length shown, and the local volume's 176 heard at -5.7 dB.
    const auto opened = [&] {
        double dFactor = 0;
        g_object_get(dlg.Player().Renderer(), "local-volume", &dFactor, nullptr);
        return Text(1007).ends_with("/01:00") && std::abs(dFactor - 0.5164) < 1e-3;
    };
    const auto missingShown = [&] {
        return unmarked() && Showed("An error occurred during file playback: 80070002 - The file "
                                    "\"missing.wav\" does not exist.");
    };

    const struct {
        const char* pszStep;
        std::function<void()> act;
        std::vector<std::string> expected;
        std::function<bool()> holds = [] { return true; }; // then comes to hold
    } steps[] = {
        // A WAV file's length is learnt as it opens: its row changes before it plays.
        {"play", run(ID_PLAY), {"playlist", "state Playing"}, opened},
        {"seek", [&] { dlg.SeekTo(30); }, {"jumped 30"}, pastMiddle},
        {"pause", run(ID_PAUSE), {"state Paused"}},
        {"play resumes where it paused", run(ID_PLAY), {"state Playing"}, pastMiddle},
        {"stop", run(ID_STOP), {"state Stopped"}, unmarked},
        {"pause after a stop goes on where it stopped",
         run(ID_PAUSE),
         {"state Playing"},
         pastMiddle},
        {"stop", run(ID_STOP), {"state Stopped"}},
        {"play after a stop starts over", run(ID_PLAY), {"state Playing"}, beforeMiddle},
        {"next", run(ID_NEXT_FILE), {"entry 1", "playlist"}},
        {"the last file's end plays the first", [] {}, {"entry 0"}, completed},
        {"next again", run(ID_NEXT_FILE), {"entry 1"}, running},
        {"stop", run(ID_STOP), {"state Stopped"}},
        {"volume", [&] { dlg.SetLocalVolume(10); }, {"volume 10"}},
        {"remove the first row",
         [&] {
             Control<QTreeView>(1000)->selectionModel()->select(
                 Rows()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
             dlg.OnRemoveFiles();
         },
         {"playlist"}},
        {"play the only entry", run(ID_PLAY), {"state Playing"}},
        // The only file plays again from its start, to its end again.
        {"its end", [] {}, {"jumped 0"}, [&] { return position() == 0; }},
        {"its end again", [] {}, {"jumped 0"}},
        {"stop again", run(ID_STOP), {"state Stopped"}},
        {"a missing file to play",
         addToPlay(m_folder / "missing.wav"),
         {"playlist", "entry 2"},
         missingShown},
        // Added and made current, then its length learnt as it opens.
        {"a file to play", addToPlay(three), {"playlist", "entry 3", "playlist", "state Playing"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.pszStep);
        log.clear();
        step.act();
        EXPECT_TRUE(WaitFor([&] { return log.size() >= step.expected.size(); }));
        EXPECT_EQ(log, step.expected);
        EXPECT_TRUE(WaitFor(step.holds));
    }
    EXPECT_EQ(Text(1006), "three");
}
