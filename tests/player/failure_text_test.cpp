// A file the player cannot open: the code, the text the window shows for it,
// no element left in the pipeline, no playback failure reported, and the next
// file opens clean.
#include <gtest/gtest.h>

#include <fstream>

#include "player_testkit.h"
#include "renderer_notice.h"
#include "voxreel/gst_hresult.h"

namespace fs = std::filesystem;

namespace {

// The text for a decoder that is not installed, and the Debian package that has it.
std::string NoDecoder(const std::string& strName, const std::string& strPackage)
{
    return "Playback failed: error code 80040265 - The " + strName +
           " decoder is not installed (Debian package gstreamer1.0-" + strPackage + ").";
}

// Takes every audio decoder for the caps out of this process's registry, as
// on a system without the package that has them.
void HideDecodersFor(const char* pszCaps)
{
    GList* pDecoders = gst_element_factory_list_get_elements(
        GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_MEDIA_AUDIO, GST_RANK_NONE);
    const CCapsPtr pCaps(gst_caps_from_string(pszCaps));
    GList* pTaking = gst_element_factory_list_filter(pDecoders, pCaps.get(), GST_PAD_SINK, FALSE);
    ASSERT_NE(pTaking, nullptr) << "no decoder to hide for " << pszCaps;
    for (GList* p = pTaking; p != nullptr; p = p->next)
        gst_registry_remove_feature(gst_registry_get(), GST_PLUGIN_FEATURE(p->data));
    gst_plugin_feature_list_free(pTaking);
    gst_plugin_feature_list_free(pDecoders);
}

// A file cut inside its header is left out: whether decodebin passes its
// parser's error on or only its own general one depends on timing.
TEST(FailedOpen, SaysWhyInPlainWordsAndLeavesNothingBehind)
{
    CPlayerRig rig; // alone in its binary: the decoders it hides stay hidden
    ASSERT_EQ(rig.m_player.Initialize(), S_OK);
    const auto make = [&](const char* pszName, const std::string& strBytes) {
        std::ofstream(rig.m_folder / pszName, std::ios::binary) << strBytes;
        return rig.m_folder / pszName;
    };
    fs::create_directory(rig.m_folder / "folder.mp3");
    const fs::path film = rig.m_folder / "film.mkv"; // a decodable stream, but not audio
    ASSERT_TRUE(RunLaunch("videotestsrc num-buffers=10 ! video/x-raw,width=64,height=48 ! "
                          "jpegenc ! matroskamux ! filesink location=\"" +
                          film.string() + "\""));
    const bool bMidiDecoder = CGstObjectPtr<GstPluginFeature>(gst_registry_lookup_feature(
                                  gst_registry_get(), "midiparse")) != nullptr;
    const struct {
        fs::path path;
        HRESULT hr;
        std::string strText; // "": not checked
    } cases[] = {
        {rig.m_folder / "missing.Asf", HResultFromWin32(ERROR_FILE_NOT_FOUND),
         "Playback failed: error code 80070002 - The file \"missing.Asf\" does not exist."},
        {rig.m_folder / "folder.mp3", HResultFromWin32(ERROR_ACCESS_DENIED),
         "Playback failed: error code 80070005 - The file \"folder.mp3\" cannot be opened for "
         "reading."},
        {make("notes.mp3", "These are not the sounds you are looking for.\n"),
         VFW_E_UNKNOWN_FILE_TYPE,
         "Playback failed: error code 80040240 - The file \"notes.mp3\" is not in a sound format "
         "Voxreel knows."},
        {make("song.mid", std::string("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\4\0\xff\x2f\0", 26)),
         VFW_E_UNSUPPORTED_STREAM, bMidiDecoder ? "" : NoDecoder("audio/midi", "plugins-bad")},
        {film, VFW_E_CANNOT_CONNECT, ""},
        {MakeMedia(rig.m_folder / "tone.mp3", "lamemp3enc", 2.0), VFW_E_UNSUPPORTED_STREAM,
         NoDecoder("MPEG-1 Layer 3 (MP3)", "plugins-good")},
        {MakeMedia(rig.m_folder / "tone.wma", kWma, 2.0), VFW_E_UNSUPPORTED_STREAM,
         NoDecoder("Windows Media Audio 8", "libav")},
    };
    for (const char* pszCaps : {"audio/mpeg,mpegversion=1,layer=3", "audio/x-wma,wmaversion=2"})
        HideDecodersFor(pszCaps);
    const fs::path whole = MakeMedia(rig.m_folder / "whole.wav", kWav, 2.0);
    ASSERT_EQ(rig.m_player.Open(whole), S_OK); // the first failed open also drops it
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.filename());
        EXPECT_EQ(rig.m_player.Open(c.path), c.hr);
        const std::string strText = PlaybackErrorStatus(
            static_cast<std::uint32_t>(rig.m_player.LastError()), rig.m_player.LastErrorText());
        EXPECT_EQ(strText, c.strText.empty() ? strText : c.strText);
        EXPECT_FALSE(rig.m_player.LastErrorText().empty());
        EXPECT_EQ(rig.TopElements(), std::vector<std::string>{"SkypeAudioRenderer"});
        EXPECT_EQ(rig.m_player.GetDuration(), 0u);
        DeliverEvents();
        EXPECT_TRUE(rig.m_callback.m_calls.empty())
            << "an open's own error taken for playback's: "
            << testing::PrintToString(rig.m_callback.m_order);
    }
    // A file that opens clears the failure: the tip no longer tells of it.
    ASSERT_EQ(rig.m_player.Open(whole), S_OK);
    EXPECT_EQ(rig.m_player.LastError(), S_OK);
    EXPECT_EQ(rig.m_player.LastErrorText(), "");
}

} // namespace
