#include "client_command.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> SplitBlanks(const std::string& text)
{
    std::istringstream stream(text);
    std::vector<std::string> tokens;
    for (std::string token; stream >> token;)
        tokens.push_back(token);
    return tokens;
}

std::optional<int> ReadNumber(std::string_view text)
{
    int value = 0;
    const auto [pEnd, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || pEnd != text.data() + text.size())
        return std::nullopt;
    return value;
}

// PORT="17171" (quotes optional) gives 17171.
std::optional<int> ReadPortSetting(const std::string& setting)
{
    std::string_view value(setting);
    value.remove_prefix(std::string_view("PORT=").size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    const auto port = ReadNumber(value);
    if (!port || *port < 1 || *port > 65535)
        return std::nullopt;
    return port;
}

} // namespace

std::string ToUpper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    });
    return text;
}

ClientCommand ParseClientCommand(const std::string& text)
{
    const std::vector<std::string> tokens = SplitBlanks(ToUpper(text));
    ClientCommand command;
    if (tokens.size() == 2 && tokens[0] == "SEARCH" && tokens[1] == "ACTIVECALLS") {
        command.kind = ClientCommandKind::SearchActiveCalls;
        return command;
    }
    const bool bAboutCall = tokens.size() >= 3 && tokens[1] == "CALL";
    const auto callId = bAboutCall ? ReadNumber(tokens[2]) : std::nullopt;
    if (!callId)
        return command;
    command.callId = *callId;
    if (tokens.size() == 4 && tokens[0] == "GET") {
        command.kind = ClientCommandKind::GetCallProperty;
        command.property = tokens[3];
    } else if (tokens.size() == 5 && tokens[0] == "ALTER" && tokens[3] == "SET_INPUT") {
        if (tokens[4].starts_with("SOUNDCARD=")) {
            command.kind = ClientCommandKind::SetInputSoundcard;
        } else if (tokens[4].starts_with("PORT=")) {
            if (const auto port = ReadPortSetting(tokens[4])) {
                command.kind = ClientCommandKind::SetInputPort;
                command.port = *port;
            }
        }
    }
    return command;
}

bool IsCallEndingStatus(const std::string& word)
{
    static const std::array<std::string, 6> kEndings{"FAILED",  "FINISHED", "MISSED",
                                                     "REFUSED", "BUSY",     "CANCELLED"};
    const std::string upper = ToUpper(word);
    return std::find(kEndings.begin(), kEndings.end(), upper) != kEndings.end();
}
