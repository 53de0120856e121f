// Playlist speed: loading and saving a 100,000-entry M3U file, and describing
// 1,000 tagged MP3 files. Prints one "name: value unit" line per figure.
#include "playlist/media_info.h"
#include "playlist/playlist.h"
#include "voxreel_test_support.h"

#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kEntries = 100000;
constexpr int kFiles = 1000;
constexpr int kRounds = 5;

// The best of several rounds in seconds: the figure least disturbed by the
// other work on a shared machine. prepare runs before each round, untimed.
double BestSeconds(
    const std::function<void()>& work, const std::function<void()>& prepare = [] {})
{
    double best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, std::chrono::duration<double>(elapsed).count());
    }
    return best;
}

std::string Pad(int value, int width)
{
    std::string digits = std::to_string(value);
    return std::string(
               static_cast<std::size_t>(std::max(0, width - static_cast<int>(digits.size()))),
               '0') +
           digits;
}

void FillPlaylist(CPlaylist& playlist)
{
    for (int i = 0; i < kEntries; ++i) {
        const std::string artist = "Artist " + Pad(i / 100, 4);
        const std::string track = Pad(i % 100, 2) + " - Track title " + Pad(i, 6);
        PlaylistItem* item = playlist.Find(
            playlist.AddFile("/home/user/Music/" + artist + "/Album/" + track + ".ogg"));
        item->title = artist + " : " + track;
        item->duration = 120 + i % 300;
    }
}

// Seconds of 44.1 kHz mono audio as MP3 from GStreamer's encoder with the
// given settings, written to path; returns the file's bytes.
std::string EncodeAudio(const std::filesystem::path& path, int seconds, const std::string& settings)
{
    gst_init(nullptr, nullptr);
    voxreel::test::RunLaunch("audiotestsrc num-buffers=" + std::to_string(seconds * 10) +
                             " samplesperbuffer=4410 ! audio/x-raw,rate=44100,channels=1 ! "
                             "lamemp3enc " +
                             settings + " ! filesink location=\"" + path.string() + "\"");
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string SyncSafe(std::size_t value)
{
    return {static_cast<char>((value >> 21) & 0x7F), static_cast<char>((value >> 14) & 0x7F),
            static_cast<char>((value >> 7) & 0x7F), static_cast<char>(value & 0x7F)};
}

std::string BigEndian32(std::size_t value)
{
    return {static_cast<char>((value >> 24) & 0xFF), static_cast<char>((value >> 16) & 0xFF),
            static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
}

// A tag as common writers make them: a few text frames, then padding.
// Every fifth file carries UTF-16 text, every fifth an ID3v1 tag as well.
std::string TaggedFile(int i, const std::string& audio)
{
    auto frame = [](const char* id, const std::string& body) {
        return std::string(id) + BigEndian32(body.size()) + std::string(2, '\0') + body;
    };
    std::string text = i % 5 == 1
                           ? std::string("\x01\xFF\xFE", 3) + std::string("T\0i\0t\0l\0e\0", 10)
                           : '\0' + ("Title " + std::to_string(i));
    std::string frames = frame("TPE1", '\0' + ("Artist " + std::to_string(i % 50))) +
                         frame("TALB", std::string("\0Album", 6)) + frame("TIT2", text) +
                         frame("TRCK", std::string("\0"
                                                   "7",
                                                   2)) +
                         std::string(1024, '\0');
    std::string file = "ID3\x03" + std::string(2, '\0') + SyncSafe(frames.size()) + frames + audio;
    if (i % 5 == 2) {
        std::string v1 = "TAG" + std::string("V1 title").append(22, ' ') + std::string(95, '\0');
        file += v1;
    }
    return file;
}

void PrintFigure(const char* name, double value, const char* unit)
{
    std::printf("%s: %.*f %s\n", name, value >= 100 ? 0 : 3, value, unit);
}

} // namespace

int main()
{
    char pattern[] = "/tmp/voxreel-bench-playlist-XXXXXX";
    if (!::mkdtemp(pattern)) {
        return 1;
    }
    const std::filesystem::path folder = pattern;
    const auto listPath = folder / "list.m3u";

    CPlaylist playlist;
    FillPlaylist(playlist);
    const double save = BestSeconds([&] { (void)playlist.SaveM3U(listPath); });
    // Each round loads into a fresh playlist; freeing the last one is not
    // part of loading.
    std::unique_ptr<CPlaylist> loaded;
    const double load = BestSeconds([&] { loaded->LoadM3U(listPath); },
                                    [&] { loaded = std::make_unique<CPlaylist>(); });
    loaded.reset();

    const std::string audio =
        EncodeAudio(folder / "audio.mp3", 3, "target=bitrate bitrate=128 cbr=true");
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < kFiles; ++i) {
        files.push_back(folder / ("Track " + std::to_string(i) + ".mp3"));
        std::ofstream(files.back(), std::ios::binary) << TaggedFile(i, audio);
    }
    PlaylistItem item;
    const double describe = BestSeconds([&] {
        for (const auto& file : files) {
            DescribeFile(file, item);
        }
    });

    // Four minutes of variable bit rate without a Xing header: the frames are
    // counted through the whole file.
    const auto vbrPath = folder / "vbr.mp3";
    EncodeAudio(vbrPath, 240, "target=quality quality=2");
    PlaylistItem vbrItem;
    const double describeVbr = BestSeconds([&] { DescribeFile(vbrPath, vbrItem); });

    PrintFigure("m3u_load_entries_per_s", kEntries / load, "entries/s");
    PrintFigure("m3u_save_entries_per_s", kEntries / save, "entries/s");
    PrintFigure("describe_file_ms", describe * 1000 / kFiles, "ms");
    PrintFigure("describe_vbr_no_header_ms", describeVbr * 1000, "ms");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return audio.empty() || item.duration != 3 || vbrItem.duration != 240 ? 1 : 0;
}
