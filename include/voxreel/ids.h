// Identifiers shared by the player and the Callfeed plugin: class ids and the
// element factory names they stand for, and the renderer's notification
// codes.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::array<std::uint8_t, 8> Data4;

    friend constexpr bool operator==(const GUID&, const GUID&) = default;
};
using CLSID = GUID;
using IID = GUID;

// {E5960B43-A82F-441A-9E4A-4705CD6E8BDE}
constexpr CLSID CLSID_CCallfeed{
    0xE5960B43, 0xA82F, 0x441A, {0x9E, 0x4A, 0x47, 0x05, 0xCD, 0x6E, 0x8B, 0xDE}};
// {092DD748-4EB5-4543-8B0C-69FDE0B31FB0}
constexpr CLSID CLSID_CResampleFilter{
    0x092DD748, 0x4EB5, 0x4543, {0x8B, 0x0C, 0x69, 0xFD, 0xE0, 0xB3, 0x1F, 0xB0}};
// {9C7B342F-4393-4A1C-ABA5-D275BF70B9F2}
constexpr IID IID_IVoxreelCallfeed{
    0x9C7B342F, 0x4393, 0x4A1C, {0xAB, 0xA5, 0xD2, 0x75, 0xBF, 0x70, 0xB9, 0xF2}};

// The plugin and the factory names its elements register under.
inline constexpr const char* kCallfeedPluginName = "callfeed";
inline constexpr const char* kCallfeedRendererFactory = "callfeedrenderer";
inline constexpr const char* kCallfeedResamplerFactory = "callfeedresampler";

// The factory name a class id stands for, or nullptr for a class the
// plugin does not provide.
constexpr const char* FactoryNameFromClsid(const CLSID& clsid)
{
    if (clsid == CLSID_CCallfeed)
        return kCallfeedRendererFactory;
    if (clsid == CLSID_CResampleFilter)
        return kCallfeedResamplerFactory;
    return nullptr;
}

// Renderer notification codes (the "code" of a notification message; its
// "value" is an HRESULT for the error codes, else 0).
enum NotifyCode : int {
    NOTIFY_ERROR = 0,
    NOTIFY_CLIENT_CONNECTED = 1,
    NOTIFY_CLIENT_DISCONNECTED = 2,
    NOTIFY_CAPTURE_ERROR = 3,
    NOTIFY_NETWORK_ERROR = 4,
    NOTIFY_GRAPH_ERROR = 5,
    NOTIFY_CAPTURE_STARTED = 6,
    NOTIFY_CAPTURE_STOPPED = 7,
    NOTIFY_OUTPUT_NOT_STARTING = 8, // an output has not started playing within seconds
};

// The name of the element message that carries a renderer notification.
inline constexpr const char* kCallfeedNotifyStructure = "callfeed-notify";

// The port the renderer serves by default.
constexpr int kDefaultCallfeedPort = 17171;
