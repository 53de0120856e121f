#include "playlist/playlist.h"

#include "playlist/file_io.h"
#include "playlist/m3u.h"
#include "playlist/media_info.h"
#include "voxreel/settings.h"

#include <algorithm>
#include <new>

namespace {

// A playlist file larger than this is not a playlist; reading it would only
// exhaust memory.
constexpr std::uint64_t kMaxPlaylistBytes = 1ull << 30;

} // namespace

CPlaylist::CPlaylist(ISettingsStore& settings) : m_pSettings(&settings)
{
    const std::filesystem::path path = DefaultPlaylistPath(settings);
    if (path.empty() || LoadM3U(path)) {
        return;
    }
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        m_pathUnreadableDefault = path;
    }
}

CPlaylist::~CPlaylist()
{
    (void)SaveDefault();
}

HRESULT CPlaylist::SaveDefault() const
{
    if (!m_pSettings) {
        return S_FALSE;
    }
    const std::filesystem::path path = DefaultPlaylistPath(*m_pSettings);
    if (path.empty()) {
        return E_FAIL;
    }
    if (!m_pathUnreadableDefault.empty() && path == m_pathUnreadableDefault) {
        return E_ACCESSDENIED;
    }
    if (m_pSettings->GetProfileString("DefaultPlaylist", "").empty()) {
        // Our own folder may not exist yet on a fresh account.
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
    }
    return SaveM3U(path);
}

std::int32_t CPlaylist::AppendItem(std::filesystem::path path, std::string title,
                                   std::int32_t duration)
{
    const std::int32_t id = m_nNextId++;
    m_vecItems.push_back({id, std::move(path), std::move(title), duration});
    return id;
}

std::int32_t CPlaylist::AddFile(const std::filesystem::path& path)
{
    PlaylistItem described;
    described.path = path;
    DescribeFile(path, described);
    return AddDescribed(std::move(described));
}

std::int32_t CPlaylist::AddDescribed(PlaylistItem item)
{
    const std::int32_t id = AppendItem(std::move(item.path), std::move(item.title), item.duration);
    if (m_nCurrentId == -1) {
        m_nCurrentId = id;
    }
    return id;
}

// The ids grow down the list (see GetItems), so a binary search finds one.
std::vector<PlaylistItem>::iterator CPlaylist::FindPosition(std::int32_t id)
{
    auto it = std::lower_bound(
        m_vecItems.begin(), m_vecItems.end(), id,
        [](const PlaylistItem& item, std::int32_t wanted) { return item.id < wanted; });
    return it != m_vecItems.end() && it->id == id ? it : m_vecItems.end();
}

std::ptrdiff_t CPlaylist::IndexOf(std::int32_t id) const
{
    const auto it = const_cast<CPlaylist*>(this)->FindPosition(id);
    return it == m_vecItems.end() ? -1 : it - m_vecItems.begin();
}

void CPlaylist::Remove(std::int32_t id)
{
    auto it = FindPosition(id);
    if (it != m_vecItems.end()) {
        m_vecItems.erase(it);
    }
}

void CPlaylist::RemoveRange(std::size_t nFirst, std::size_t nCount)
{
    nFirst = std::min(nFirst, m_vecItems.size());
    nCount = std::min(nCount, m_vecItems.size() - nFirst);
    const auto first = m_vecItems.begin() + static_cast<std::ptrdiff_t>(nFirst);
    m_vecItems.erase(first, first + static_cast<std::ptrdiff_t>(nCount));
}

bool CPlaylist::FillIn(const PlaylistItem& described)
{
    PlaylistItem* pItem = Find(described.id);
    if (pItem == nullptr) {
        return false;
    }
    bool changed = false;
    if (pItem->title.empty() && !described.title.empty()) {
        pItem->title = described.title;
        changed = true;
    }
    if (pItem->duration == 0 && described.duration != 0) {
        pItem->duration = described.duration;
        changed = true;
    }
    return changed;
}

PlaylistItem* CPlaylist::Find(std::int32_t id)
{
    auto it = FindPosition(id);
    return it == m_vecItems.end() ? nullptr : &*it;
}

const PlaylistItem* CPlaylist::Find(std::int32_t id) const
{
    return const_cast<CPlaylist*>(this)->Find(id);
}

std::int32_t CPlaylist::Next()
{
    if (m_vecItems.empty()) {
        return m_nCurrentId = -1;
    }
    auto it = FindPosition(m_nCurrentId);
    if (it != m_vecItems.end() && std::next(it) != m_vecItems.end()) {
        return m_nCurrentId = std::next(it)->id;
    }
    return m_nCurrentId = m_vecItems.front().id;
}

std::int32_t CPlaylist::Previous()
{
    if (m_vecItems.empty()) {
        return m_nCurrentId = -1;
    }
    auto it = FindPosition(m_nCurrentId);
    if (it != m_vecItems.end() && it != m_vecItems.begin()) {
        return m_nCurrentId = std::prev(it)->id;
    }
    return m_nCurrentId = m_vecItems.front().id;
}

bool CPlaylist::LoadM3U(const std::filesystem::path& path)
{
    try {
        std::string bytes;
        if (FAILED(voxreel::io::ReadRegularFile(path, kMaxPlaylistBytes, bytes))) {
            return false;
        }
        voxreel::m3u::ParseM3U(
            bytes, [this](std::string&& title, std::int32_t duration, std::string_view entryPath) {
                AppendItem(std::filesystem::path(entryPath), std::move(title), duration);
            });
    } catch (const std::bad_alloc&) {
        // Out of memory part-way: the entries read so far stay.
    }
    if (m_nCurrentId == -1 && !m_vecItems.empty()) {
        m_nCurrentId = m_vecItems.front().id;
    }
    return true;
}

HRESULT CPlaylist::SaveM3U(const std::filesystem::path& path) const
{
    try {
        return voxreel::io::ReplaceFile(path, voxreel::m3u::FormatM3U(m_vecItems));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
