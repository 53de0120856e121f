// The player's changes of transmission as jobs for another thread: the
// player takes the new choice at once, the job acts on the renderer, which
// may wait for the sound server.
#include "dsplayer.h"

#include "voxreel/callfeed_control.h"

std::shared_ptr<GstElement> CDSPlayer::SharedRenderer() const
{
    return {GST_ELEMENT(gst_object_ref(m_pRenderer.get())), gst_object_unref};
}

std::function<void()> CDSPlayer::MixOutputChange(std::string strOutput)
{
    m_strMixOutput = std::move(strOutput);
    if (!m_pRenderer)
        return [] {};
    return [pRenderer = SharedRenderer(), strOutput = m_strMixOutput] {
        g_object_set(pRenderer.get(), "mix-output", strOutput.c_str(), nullptr);
    };
}

std::function<HRESULT()> CDSPlayer::TransmissionRestart(const std::string& strCaptureSource,
                                                        const std::string& strMixOutput)
{
    if (!m_pRenderer)
        return [] { return E_UNEXPECTED; };
    m_strCaptureSource = strCaptureSource;
    m_strMixOutput = strMixOutput;
    return [pRenderer = SharedRenderer(),
            strCapture = strCaptureSource.empty() ? "autoaudiosrc" : strCaptureSource,
            strMix = strMixOutput, strLocal = LocalOutput()] {
        CCallfeedControl control(pRenderer.get());
        control.StopTransmission();
        g_object_set(pRenderer.get(), "capture-source", strCapture.c_str(), "mix-output",
                     strMix.c_str(), "local-output", strLocal.c_str(), nullptr);
        return control.StartTransmission();
    };
}
