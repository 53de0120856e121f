// The control channel's commands (one per line on standard input).
#include "call_simulator.h"

#include <QCoreApplication>

#include <charconv>
#include <sstream>

namespace {

std::optional<long long> ReadInteger(const std::string& text)
{
    int base = 10;
    std::string_view digits(text);
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        base = 16;
        digits.remove_prefix(2);
    }
    long long value = 0;
    const auto [pEnd, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || error != std::errc() || pEnd != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

std::string RestOfLine(std::istringstream& stream)
{
    std::string rest;
    std::getline(stream >> std::ws, rest);
    return rest;
}

std::optional<std::uint32_t> ReadAttachStatus(const std::string& word)
{
    static const std::map<std::string, std::uint32_t> kNames{
        {"OK", 0}, {"PENDING", 1}, {"REFUSED", 2}, {"UNAVAILABLE", 3}, {"AVAILABLE", 0x8001}};
    if (const auto it = kNames.find(ToUpper(word)); it != kNames.end())
        return it->second;
    const auto value = ReadInteger(word);
    if (!value || *value < 0 || *value > 0xFFFFFFFFll)
        return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

} // namespace

bool CCallSimulator::HandleAttachControl(const std::string& argument)
{
    const auto status = ReadAttachStatus(argument);
    if (!status)
        return false;
    // "API available" is an announcement: the discover it prompts is then
    // answered with a plain attach.
    m_discoverStatus = *status == 0x8001 ? 0 : *status;
    for (const SkypeWindow& window : m_discoverers)
        SendAttach(window, *status);
    return true;
}

bool CCallSimulator::HandleControlLine(const std::string& line)
{
    std::istringstream stream(line);
    std::string verb;
    stream >> verb;
    verb = ToUpper(verb);
    const std::string rest = RestOfLine(stream); // everything after the verb
    std::istringstream restStream(rest);
    std::string argument;
    restStream >> argument;
    const std::string afterArgument = RestOfLine(restStream);
    const auto number = ReadInteger(argument);
    const bool bCallId = number && *number >= 0 && *number <= 0x7FFFFFFF;
    const int callId = bCallId ? static_cast<int>(*number) : 0;

    if (verb == "CALL" && bCallId) {
        AddCall(callId, afterArgument);
        Notify("CALL " + argument + " STATUS INPROGRESS");
    } else if (verb == "STATUS" && bCallId && !afterArgument.empty()) {
        ReportStatus(callId, afterArgument);
    } else if (verb == "END" && bCallId) {
        ReportStatus(callId, afterArgument.empty() ? "FINISHED" : afterArgument);
    } else if (verb == "DROP" && bCallId) {
        StopInput(callId, "dropped", true);
    } else if (verb == "ATTACH") {
        return HandleAttachControl(argument);
    } else if (verb == "REFUSE" && (argument == "on" || argument == "off")) {
        m_options.bRefuseInput = argument == "on";
    } else if (verb == "DELAY" && number && *number >= 0 && *number <= 600000) {
        m_options.inputDelayMs = static_cast<int>(*number);
    } else if (verb == "HANG" && rest.empty()) {
        m_bHung = true;
    } else if (verb == "ANSWER" && rest.empty()) {
        m_bHung = false;
    } else if (verb == "NOTIFY" && !rest.empty()) {
        Notify(rest);
    } else if (verb == "QUIT" && rest.empty()) {
        QCoreApplication::quit();
    } else {
        return false;
    }
    return true;
}
