// What the user reads when a file cannot be played: the real player on files
// made to fail, and the text the window shows for the failure.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "player_testkit.h"
#include "renderer_notice.h"

namespace fs = std::filesystem;

namespace {

class FailureText : public PlayerFixture {
protected:
    // The failure's text as the status icon's tip shows it after the open.
    std::string TextAfterOpening(const fs::path& path)
    {
        EXPECT_TRUE(FAILED(m_player.Open(path))) << path;
        return PlaybackErrorStatus(static_cast<std::uint32_t>(m_player.LastError()),
                                   m_player.LastErrorText());
    }

    fs::path Make(const char* pszName, const std::string& strBytes)
    {
        std::ofstream(m_folder / pszName, std::ios::binary) << strBytes;
        return m_folder / pszName;
    }
    fs::path Encode(const char* pszName, const char* pszEncoder)
    {
        EXPECT_TRUE(RunLaunch("audiotestsrc num-buffers=20 ! audioconvert ! " +
                              std::string(pszEncoder) + " ! filesink location=\"" +
                              (m_folder / pszName).string() + "\""));
        return m_folder / pszName;
    }
};

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

TEST_F(FailureText, EachBrokenFileSaysWhyInPlainWords)
{
    // A file cut inside its header is left out: whether decodebin passes its
    // parser's error on or only its own general one depends on timing.
    Encode("whole.wav", "wavenc");
    fs::create_directory(m_folder / "folder.mp3");
    const bool bMidiDecoder = CGstObjectPtr<GstPluginFeature>(gst_registry_lookup_feature(
                                  gst_registry_get(), "midiparse")) != nullptr;
    const struct {
        fs::path path;
        std::string strText; // "": not checked
    } cases[] = {
        {m_folder / "missing.wav",
         "Playback failed: error code 80070002 - The file \"missing.wav\" does not exist."},
        {m_folder / "folder.mp3", "Playback failed: error code 80070005 - The file \"folder.mp3\" "
                                  "cannot be opened for reading."},
        {Make("notes.mp3", "These are not the sounds you are looking for.\n"),
         "Playback failed: error code 80040240 - The file \"notes.mp3\" is not in a sound format "
         "Voxreel knows."},
        {Make("song.mid", std::string("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\4\0\xff\x2f\0", 26)),
         bMidiDecoder ? "" : NoDecoder("audio/midi", "plugins-bad")},
    };
    for (const auto& c : cases) {
        if (!c.strText.empty()) {
            EXPECT_EQ(TextAfterOpening(c.path), c.strText);
        }
    }
    // A file that opens clears the failure: the tip no longer tells of it.
    ASSERT_EQ(m_player.Open(m_folder / "whole.wav"), S_OK);
    EXPECT_EQ(m_player.LastError(), S_OK);
    EXPECT_EQ(m_player.LastErrorText(), "");
}

TEST_F(FailureText, AMissingDecoderIsNamedWithTheDebianPackageThatHasIt)
{
    if (RunAloneInAChild()) // the registry is changed for good in this process
        return;
    const struct {
        fs::path path;
        const char* pszDecodes;
        std::string strText;
    } cases[] = {
        {Encode("tone.flac", "flacenc"), "audio/x-flac",
         NoDecoder("Free Lossless Audio Codec (FLAC)", "plugins-good")},
        {Encode("tone.mp3", "lamemp3enc"), "audio/mpeg,mpegversion=1,layer=3",
         NoDecoder("MPEG-1 Layer 3 (MP3)", "plugins-good")},
        {Encode("tone.m4a", "avenc_aac ! mp4mux"), "audio/mpeg,mpegversion=4",
         NoDecoder("MPEG-4 AAC", "libav")},
        {Encode("tone.wma", "avenc_wmav2 ! avmux_asf"), "audio/x-wma,wmaversion=2",
         NoDecoder("Windows Media Audio 8", "libav")},
    };
    for (const auto& c : cases)
        HideDecodersFor(c.pszDecodes);
    for (const auto& c : cases)
        EXPECT_EQ(TextAfterOpening(c.path), c.strText);
}

} // namespace
