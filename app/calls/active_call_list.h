// The active-call list: the call client's calls under way, kept sorted by
// their text, each carrying its call id, at most one selected. The window
// shows it in its drop-down list; selections are always restored by call id,
// because an added item can shift the others.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class CActiveCallList {
public:
    struct Item {
        std::string strText; // UTF-8
        std::int32_t nCallId = 0;
    };

    int Count() const { return static_cast<int>(m_items.size()); }
    const std::vector<Item>& Items() const { return m_items; }
    // Inserts at the item's sorted place; returns its index.
    int Add(std::string strText, std::int32_t nCallId);
    void Delete(int nIndex);
    // The index of the first item of that call, or -1.
    int Find(std::int32_t nCallId) const;
    std::int32_t ItemData(int nIndex) const
    {
        return m_items.at(static_cast<std::size_t>(nIndex)).nCallId;
    }
    int Selection() const { return m_nSelection; }
    // -1 (or any index out of range) clears the selection.
    void Select(int nIndex);
    std::optional<std::int32_t> SelectedCall() const;
    // Selects that call again by its index now, or nothing when it is gone.
    void SelectCall(std::optional<std::int32_t> callId);

    // Called after every change, for the view that shows the list.
    void SetOnChanged(std::function<void()> onChanged) { m_onChanged = std::move(onChanged); }

private:
    void Changed();

    std::vector<Item> m_items;
    int m_nSelection = -1;
    std::function<void()> m_onChanged;
};

// The text a call is listed with: the partner's name from the client's 8-bit
// text (UTF-8 when valid, else Latin-1) without control characters, or
// "Call n" when nothing usable is left.
std::string CallDisplayName(std::string_view bytes, std::int32_t nCallId);
