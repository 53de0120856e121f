// feedplay [FILE]: decodes FILE (or, without one, plays a five-second tone)
// into callfeedrenderer, through callfeedresampler for the call and at full
// band into its wide input, with the renderer transmitting: a client on
// 127.0.0.1:17171 receives the microphone mixed with the file, at the pace the
// renderer takes it, and the renderer plays what the call hears to the local
// sound device. Prints the renderer's notifications, and why the file failed
// as the window words it (GST_DEBUG has GStreamer's own details).
// VOXREEL_AUDIO_SINK names the local sink, VOXREEL_CAPTURE_SOURCE the
// microphone (both gst-launch descriptions).
#include <gst/gst.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "failure_reason.h"
#include "voxreel/callfeed_control.h"
#include "voxreel/gst_handle.h"
#include "voxreel/hresult.h"
#include "voxreel/notify_texts.h"

namespace {

// The window's status text for a notification, its code filled in.
std::string NotificationText(const CallfeedNotification& notification)
{
    const char* pszFormat = RendererNotifyText(static_cast<unsigned>(notification.m_nCode));
    std::string text = pszFormat != nullptr ? pszFormat : "notification %08X";
    const std::size_t nAt = text.find("%08X");
    if (nAt != std::string::npos) {
        char value[16];
        std::snprintf(value, sizeof value, "%08X", notification.m_nValue);
        text.replace(nAt, 4, value);
    }
    return text;
}

std::string LocalSink()
{
    const char* sink = std::getenv("VOXREEL_AUDIO_SINK");
    return sink != nullptr && *sink != '\0' ? sink : "autoaudiosink";
}

// As the player builds it: the split feeds the wide input first, so that its
// end of stream is in before the renderer holds the call input's end until
// the call has heard the file.
// The file's name is set on its source after parsing: gst-launch syntax has
// no quoting that every file name survives.
std::string PipelineDescription(bool bFile)
{
    const std::string source =
        bFile ? "filesrc name=file ! decodebin"
              : "audiotestsrc num-buffers=215 freq=440 ! audio/x-raw,rate=44100,channels=2";
    return "callfeedrenderer name=renderer ! fakesink sync=false " + source +
           " ! audioconvert ! audio/x-raw,format=S16LE,layout=interleaved ! tee name=split"
           " ! audioconvert ! audioresample"
           " ! audio/x-raw,format=S16LE,rate=48000,channels=2,layout=interleaved ! renderer.wide"
           " split. ! callfeedresampler ! renderer.sink";
}

// Prints bus messages until the end of the stream or an error; true at the end.
bool RunToEnd(GstElement* pipeline, const std::string& fileName)
{
    CBusPtr bus(gst_element_get_bus(pipeline));
    MissingDecoder missing;
    bool decoderMissing = false;
    for (;;) {
        CMessagePtr message(gst_bus_timed_pop(bus.get(), GST_CLOCK_TIME_NONE));
        CallfeedNotification notification;
        if (ParseMissingDecoder(message.get(), &missing)) {
            decoderMissing = true;
        } else if (ParseCallfeedNotification(message.get(), &notification)) {
            std::printf("%s (code %d)\n", NotificationText(notification).c_str(),
                        notification.m_nCode);
            std::fflush(stdout);
        } else if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_EOS) {
            return true;
        } else if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
            GError* error = nullptr;
            gst_message_parse_error(message.get(), &error, nullptr);
            const std::string reason =
                FailureReason(error, fileName, decoderMissing ? &missing : nullptr);
            std::fprintf(stderr, "feedplay: %s\n", reason.c_str());
            g_error_free(error);
            return false;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    GError* error = nullptr;
    CElementPtr pipeline(gst_parse_launch(PipelineDescription(argc > 1).c_str(), &error));
    if (error != nullptr) {
        std::fprintf(stderr, "feedplay: %s\n", error->message);
        g_error_free(error);
        return 1;
    }
    if (argc > 1) {
        CElementPtr file(gst_bin_get_by_name(GST_BIN(pipeline.get()), "file"));
        g_object_set(file.get(), "location", argv[1], nullptr);
    }
    CElementPtr renderer(gst_bin_get_by_name(GST_BIN(pipeline.get()), "renderer"));
    g_object_set(renderer.get(), "local-output", LocalSink().c_str(), nullptr);
    CCallfeedControl control(renderer.get());
    HRESULT hr = control.StartTransmission();
    if (FAILED(hr)) {
        std::fprintf(stderr, "feedplay: transmission did not start: %08X\n",
                     static_cast<unsigned>(hr));
        return 1;
    }
    std::printf("Serving 127.0.0.1:%d\n", kDefaultCallfeedPort);
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    const std::string fileName = argc > 1 ? std::filesystem::path(argv[1]).filename().string() : "";
    bool ok = RunToEnd(pipeline.get(), fileName);
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    control.StopTransmission();
    return ok ? 0 : 1;
}
