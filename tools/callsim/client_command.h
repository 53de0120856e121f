// The commands callsim understands from a player, read from one line of
// 8-bit text (after the "#id " prefix). Keywords are read without regard to
// letter case.
#pragma once

#include <optional>
#include <string>

enum class ClientCommandKind {
    SearchActiveCalls, // SEARCH ACTIVECALLS
    GetCallProperty,   // GET CALL n PROPERTY
    SetInputPort,      // ALTER CALL n SET_INPUT PORT="p"
    SetInputSoundcard, // ALTER CALL n SET_INPUT SOUNDCARD="default"
    Unknown,
};

struct ClientCommand {
    ClientCommandKind kind = ClientCommandKind::Unknown;
    int callId = 0;
    std::string property; // upper case, for GetCallProperty
    int port = 0;         // 1..65535, for SetInputPort
};

ClientCommand ParseClientCommand(const std::string& text);

// A line split into its "#id " prefix (when there is one) and the rest.
struct FramedLine {
    std::optional<std::string> id;
    std::string text;
};
FramedLine SplitCommandId(const std::string& line);

// The status words that end a call.
bool IsCallEndingStatus(const std::string& word);

std::string ToUpper(std::string text);
