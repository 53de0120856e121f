// bench_window: the main window's figures, on the offscreen platform.
//   window_startup_ms      - process start to the window shown, with a
//                            10,000-entry default playlist
//   add_files_max_stall_ms - the longest time the UI thread does not answer
//                            while 1,000 tagged MP3 files are added in one drop
//   remove_rows_ms         - removing 1,000 selected rows of 10,000
#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QTimer>
#include <QTreeView>

#include <gst/gst.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dlg_controls.h"
#include "in_process_channel.h"
#include "voxreel_dlg.h"
#include "bench_kit.h"
#include "voxreel_test_support.h"

namespace fs = std::filesystem;

namespace {

// Milliseconds since this process started, from the kernel's start time.
double MsSinceProcessStart()
{
    std::string text;
    std::getline(std::ifstream("/proc/self/stat"), text);
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i)
        fields >> field; // field 22: start time in clock ticks after boot
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double dStartMs = std::stod(field) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6 -
           dStartMs;
}

void WritePlaylist(const fs::path& path, int nEntries)
{
    std::ofstream out(path);
    out << "#EXTM3U\n";
    for (int i = 0; i < nEntries; ++i)
        out << "#EXTINF:" << 60 + i % 300 << ",Artist " << i << " : Title " << i << "\n/music/" << i
            << ".mp3\n";
}

void MakeTaggedMp3s(const fs::path& folder, int nFiles)
{
    fs::create_directories(folder);
    const fs::path first = folder / "0000.mp3";
    voxreel::test::RunLaunch("audiotestsrc num-buffers=20 ! audio/x-raw,rate=44100,channels=2 ! "
                             "audioconvert ! lamemp3enc ! taginject tags=\"artist=Someone,"
                             "title=Something\" ! id3v2mux ! filesink location=" +
                             first.string());
    for (int i = 1; i < nFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%04d.mp3", i);
        fs::copy_file(first, folder / name);
    }
}

double AddFilesMaxStallMs(CVoxreelDlg& dlg, const fs::path& folder, int nExpectedRows)
{
    QElapsedTimer clock;
    clock.start();
    qint64 nLast = 0, nMaxGap = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        nMaxGap = std::max(nMaxGap, clock.elapsed() - nLast);
        nLast = clock.elapsed();
    });
    probe.start(1);
    dlg.AddPaths({folder});
    auto* pView = qobject_cast<QTreeView*>(FindControl(&dlg, 1000));
    while (pView->model()->rowCount() < nExpectedRows && clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return static_cast<double>(nMaxGap);
}

double RemoveRowsMs(CVoxreelDlg& dlg)
{
    auto* pView = qobject_cast<QTreeView*>(FindControl(&dlg, 1000));
    QItemSelection selection;
    for (int nRow = 0; nRow < 10000; nRow += 10)
        selection.select(pView->model()->index(nRow, 0), pView->model()->index(nRow, 1));
    pView->selectionModel()->select(selection, QItemSelectionModel::Select);
    QElapsedTimer clock;
    clock.start();
    dlg.OnRemoveFiles();
    QCoreApplication::processEvents();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    CBenchSetting bench(argc, argv, "bench_window");
    WritePlaylist(bench.m_folder / "default.m3u", 10000);
    CInProcessSkypeChannel channel;
    {
        CVoxreelDlg dlg({bench.m_settings, channel, "own", "fakesink sync=true", 0});
        dlg.show();
        QCoreApplication::processEvents();
        std::printf("window_startup_ms: %.1f ms\n", MsSinceProcessStart());
        std::fflush(stdout);

        std::printf("remove_rows_ms: %.1f ms\n", RemoveRowsMs(dlg));
        MakeTaggedMp3s(bench.m_folder / "mp3", 1000);
        std::printf("add_files_max_stall_ms: %.1f ms\n",
                    AddFilesMaxStallMs(dlg, bench.m_folder / "mp3", 9000 + 1000));
        // The benchmark's edits are not worth saving.
        bench.m_settings.WriteProfileString("DefaultPlaylist", "/nonexistent/default.m3u");
    }
    return 0;
}
