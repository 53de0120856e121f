// What the transport rules need of the window: the playlist view's marks,
// the "Now playing" field, the position slider and time display, the level
// sliders' positions and the status line.
#pragma once

#include <cstdint>
#include <string>

class IPlaybackView {
public:
    virtual ~IPlaybackView() = default;
    virtual void SetStatus(const std::string& strText) = 0;
    virtual void ClearPlayingMarks() = 0;
    // Marks the row of the entry, if it has one, and scrolls it into view.
    virtual void MarkPlayingRow(std::int32_t id) = 0;
    // The entry's title or duration changed: its row shows them anew and the
    // playlist file is saved. A view without rows has nothing to do.
    virtual void ShowEntryChanged(std::int32_t /*id*/) {}
    virtual void SetNowPlaying(const std::string& strTitle) = 0;
    // Range 0..nDuration, position 0.
    virtual void ResetPositionSlider(std::uint32_t nDuration) = 0;
    virtual void ShowTime(std::uint32_t nPosition, std::uint32_t nDuration) = 0;
    virtual int LocalVolumePosition() const = 0;
    virtual int RemoteVolumePosition() const = 0;
    virtual int BalancePosition() const = 0;
};
