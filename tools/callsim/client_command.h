// The commands callsim understands from a player, read from one line of
// 8-bit text (after the "#id " prefix). Keywords are read without regard to
// letter case.
#pragma once

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

// The status words that end a call.
bool IsCallEndingStatus(const std::string& word);

std::string ToUpper(std::string text);
