#include "loudness_cache.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <system_error>

namespace loudness {
namespace {

constexpr const char* kFileName = "loudness-v1.tsv";
// Rewrite when stale lines outnumber live ones by this much.
constexpr std::size_t kCompactFactor = 2;

// A peak is "-" when unknown; doubles go out at full precision.
std::string Number(double d)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(17);
    out << d;
    return out.str();
}

bool ParseDouble(const std::string& strText, double& dValue)
{
    std::istringstream in(strText);
    in.imbue(std::locale::classic());
    in >> dValue;
    return !in.fail();
}

} // namespace

CLoudnessCache::CLoudnessCache(std::filesystem::path folder)
{
    if (folder.empty())
        return;
    m_file = folder / kFileName;
    Load();
}

std::optional<CLoudnessCache::Stamp> CLoudnessCache::StampOf(const std::filesystem::path& path)
{
    std::error_code error;
    const std::uintmax_t nSize = std::filesystem::file_size(path, error);
    if (error)
        return std::nullopt;
    const auto time = std::filesystem::last_write_time(path, error);
    if (error)
        return std::nullopt;
    const auto nNanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    return Stamp{nSize, static_cast<std::int64_t>(nNanoseconds)};
}

std::optional<TrackLoudness> CLoudnessCache::Find(const std::filesystem::path& path) const
{
    const auto it = m_entries.find(path.string());
    if (it == m_entries.end())
        return std::nullopt;
    const std::optional<Stamp> stamp = StampOf(path);
    if (!stamp || !(*stamp == it->second.stamp))
        return std::nullopt;
    return it->second.loudness;
}

std::string CLoudnessCache::Line(const std::string& strPath, const Entry& entry)
{
    const TrackLoudness& loudness = entry.loudness;
    return std::to_string(entry.stamp.nSize) + '\t' + std::to_string(entry.stamp.nModified) + '\t' +
           Number(loudness.dLufs) + '\t' +
           (loudness.peakDb ? Number(*loudness.peakDb) : std::string("-")) + '\t' +
           (loudness.origin == Origin::Tags ? "tags" : "measured") + '\t' + strPath + '\n';
}

void CLoudnessCache::Store(const std::filesystem::path& path, const TrackLoudness& loudness)
{
    const std::string strPath = path.string();
    const std::optional<Stamp> stamp = StampOf(path);
    // A line per entry: a path with a line break in it is not kept.
    if (!stamp || strPath.find('\n') != std::string::npos)
        return;
    const Entry entry{*stamp, loudness};
    m_entries[strPath] = entry;
    if (m_file.empty())
        return;
    std::error_code error;
    std::filesystem::create_directories(m_file.parent_path(), error);
    std::ofstream out(m_file, std::ios::app | std::ios::binary);
    out << Line(strPath, entry);
    if (out && ++m_nLines > kCompactFactor * m_entries.size() + 16)
        Compact();
}

void CLoudnessCache::Load()
{
    std::ifstream in(m_file, std::ios::binary);
    std::string strLine;
    while (std::getline(in, strLine)) {
        ++m_nLines;
        std::istringstream fields(strLine);
        std::string strSize, strTime, strLufs, strPeak, strOrigin, strPath;
        if (!std::getline(fields, strSize, '\t') || !std::getline(fields, strTime, '\t') ||
            !std::getline(fields, strLufs, '\t') || !std::getline(fields, strPeak, '\t') ||
            !std::getline(fields, strOrigin, '\t') || !std::getline(fields, strPath) ||
            strPath.empty())
            continue;
        Entry entry;
        double dPeak = 0.0;
        try {
            entry.stamp.nSize = std::stoull(strSize);
            entry.stamp.nModified = std::stoll(strTime);
        } catch (const std::exception&) {
            continue;
        }
        if (!ParseDouble(strLufs, entry.loudness.dLufs) && strLufs != "-inf")
            continue;
        if (strLufs == "-inf")
            entry.loudness.dLufs = -HUGE_VAL;
        if (strPeak != "-" && ParseDouble(strPeak, dPeak))
            entry.loudness.peakDb = dPeak;
        entry.loudness.origin = strOrigin == "tags" ? Origin::Tags : Origin::Measured;
        m_entries[strPath] = entry;
    }
}

// Writes the live entries to a new file and puts it in place of the old.
void CLoudnessCache::Compact()
{
    std::filesystem::path temporary = m_file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::trunc | std::ios::binary);
        for (const auto& [strPath, entry] : m_entries)
            out << Line(strPath, entry);
        if (!out)
            return;
    }
    std::error_code error;
    std::filesystem::rename(temporary, m_file, error);
    if (!error)
        m_nLines = m_entries.size();
}

} // namespace loudness
