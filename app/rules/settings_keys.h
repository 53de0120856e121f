// The values kept in the "Settings" section between runs, with their
// defaults. "DefaultPlaylist" is read by the playlist itself.
#pragma once

inline constexpr const char* kSettingLocalVolume = "LocalVolume";
inline constexpr const char* kSettingRemoteVolume = "RemoteVolume";
inline constexpr const char* kSettingBalance = "Balance";
inline constexpr int kDefaultLocalVolume = 176;
inline constexpr int kDefaultRemoteVolume = 176;
inline constexpr int kDefaultBalance = 0;

// The devices: gst-launch descriptions, empty for the system's default.
inline constexpr const char* kSettingCaptureSource = "CaptureSource";
inline constexpr const char* kSettingAudioSink = "AudioSink";
// Whether the Voxreel microphone is offered to other applications (1, the
// default) or not (0); VOXREEL_VIRTUAL_MIC=0 turns it off too.
inline constexpr const char* kSettingVirtualMicrophone = "VirtualMicrophone";
// The loudness every file is brought to: LUFS as text ("-18", the default),
// or "Off" for none; VOXREEL_LOUDNESS_TARGET overrides it.
inline constexpr const char* kSettingLoudnessTarget = "LoudnessTarget";
// The call's mix beyond the mix law: a limiter after it (1 on, 0 off, the
// default), and talk-over, the files lowered in the call while the user
// speaks (1 on, 0 off, the default) by a depth in dB (12 by default).
inline constexpr const char* kSettingCallLimiter = "CallLimiter";
inline constexpr const char* kSettingTalkOver = "TalkOver";
inline constexpr const char* kSettingTalkOverDepth = "TalkOverDepth";
inline constexpr int kDefaultTalkOverDepth = 12;
