// CResampleEngine: turns any 16-bit PCM stream into 16 kHz mono 16-bit PCM with
// libsamplerate's best sinc converter, and hands it downstream in full blocks
// of the negotiated size taken from a bounded buffer pool. This class holds the
// resampler's state and rules; callfeed_resampler.cpp is the GObject element
// that feeds it the pads' events, buffers and queries.
#pragma once

#include <gst/audio/audio.h>
#include <gst/gst.h>
#include <samplerate.h>

#include <cstdint>
#include <mutex>
#include <vector>

#include "voxreel/gst_handle.h"
#include "voxreel/hresult.h"

class CResampleEngine {
public:
    // The pads belong to pElement, which outlives this object.
    CResampleEngine(GstElement* pElement, GstPad* pSinkPad, GstPad* pSrcPad);
    ~CResampleEngine();
    CResampleEngine(const CResampleEngine&) = delete;
    CResampleEngine& operator=(const CResampleEngine&) = delete;

    // S_OK, or E_FAIL when the converter could not be created.
    HRESULT GetCreationResult() const { return m_pConverter != nullptr ? S_OK : E_FAIL; }

    // Negotiation (resample_negotiation.cpp), on the streaming thread.
    // The sink pad's caps event: S_OK when the input is accepted and the
    // output is negotiated with a pool; S_FALSE or a failure otherwise.
    HRESULT SetInputCaps(GstCaps* pCaps);
    // The answer to a caps query on the source pad.
    static GstCaps* QueryOutputCaps(GstCaps* pFilter);

    // Streaming (resample_engine.cpp), on the streaming thread.
    void SetSegment(const GstSegment& segment);
    GstFlowReturn Receive(GstBuffer* pBuffer);
    void EndOfStream();
    // Flush start arrives on another thread; it only wakes a wait for a block.
    void BeginFlush();
    void EndFlush();
    // After the pads have stopped: drop everything a new stream must not see.
    void StopStreaming();

private:
    HRESULT SizeArrays();
    HRESULT NegotiateOutput();
    HRESULT ConfigurePool(GstBufferPool* pPool, GstCaps* pCaps, GstQuery* pAnswer);
    void SetPool(CBufferPoolPtr pPool);
    CBufferPoolPtr GetPool() const;
    void SetPoolFlushing(bool bFlushing) const;

    void MixDown(const guint8* pFrames, std::uint32_t nFrames);
    double Ratio() const;
    GstFlowReturn ConvertChunk(std::uint32_t nFrames);
    GstFlowReturn DrainConverter();
    GstFlowReturn WriteOutput(const float* pSamples, std::size_t nSamples);
    GstFlowReturn AcquireBlock();
    GstFlowReturn DeliverPending();
    bool IsInputFlushing() const;
    void ResetStream();

    GstElement* m_pElement;
    GstPad* m_pSinkPad;
    GstPad* m_pSrcPad;
    SRC_STATE* m_pConverter = nullptr;

    // The fields below are touched on the streaming thread only (chain and
    // serialized events run under the sink pad's stream lock), or by state
    // changes after the pads have stopped.
    std::vector<float> m_inBuffer;  // one chunk of input, mixed to mono
    std::vector<float> m_outBuffer; // the converter's output for one chunk
    GstAudioInfo m_inInfo;          // valid while m_bHaveInput
    bool m_bHaveInput = false;

    CBufferPtr m_pPending;                      // the block being filled
    gsize m_cbPending = 0;                      // bytes of it written so far
    gsize m_cbBlock = 0;                        // negotiated block size, whole samples
    GstClockTime m_tSegmentStart = 0;           // the time of a buffer without one
    GstClockTime m_tBase = GST_CLOCK_TIME_NONE; // time of output sample 0
    std::uint64_t m_nSamplesOut = 0;            // samples written since m_tBase
    std::uint64_t m_nBlockFirst = 0;            // index of the pending block's first sample
    bool m_bDiscont = true;                     // the next block starts a new timeline

    mutable std::mutex m_poolLock;
    CBufferPoolPtr m_pPool; // guarded by m_poolLock: flush start reads it on another thread
};

// The output format: 16 kHz mono 16-bit PCM.
constexpr std::uint32_t kResampleTargetRate = 16000;
