#include "active_call_list.h"

#include <algorithm>
#include <cctype>

#include "status_text.h"

namespace {

// Sorted as a list box sorts: without regard to ASCII letter case.
bool LessText(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
}

} // namespace

int CActiveCallList::Add(std::string strText, std::int32_t nCallId)
{
    const auto at = std::upper_bound(
        m_items.begin(), m_items.end(), strText,
        [](const std::string& text, const Item& item) { return LessText(text, item.strText); });
    const int nIndex = static_cast<int>(at - m_items.begin());
    m_items.insert(at, {std::move(strText), nCallId});
    if (m_nSelection >= nIndex)
        ++m_nSelection; // the same item stays selected
    Changed();
    return nIndex;
}

void CActiveCallList::Delete(int nIndex)
{
    if (nIndex < 0 || nIndex >= Count())
        return;
    m_items.erase(m_items.begin() + nIndex);
    if (m_nSelection == nIndex)
        m_nSelection = -1;
    else if (m_nSelection > nIndex)
        --m_nSelection;
    Changed();
}

int CActiveCallList::Find(std::int32_t nCallId) const
{
    for (int i = 0; i < Count(); ++i) {
        if (m_items[static_cast<std::size_t>(i)].nCallId == nCallId)
            return i;
    }
    return -1;
}

void CActiveCallList::Select(int nIndex)
{
    const int nNew = nIndex >= 0 && nIndex < Count() ? nIndex : -1;
    if (nNew == m_nSelection)
        return;
    m_nSelection = nNew;
    Changed();
}

std::optional<std::int32_t> CActiveCallList::SelectedCall() const
{
    if (m_nSelection < 0)
        return std::nullopt;
    return m_items[static_cast<std::size_t>(m_nSelection)].nCallId;
}

void CActiveCallList::SelectCall(std::optional<std::int32_t> callId)
{
    Select(callId ? Find(*callId) : -1);
}

void CActiveCallList::Changed()
{
    if (m_onChanged)
        m_onChanged();
}

std::string CallDisplayName(std::string_view bytes, std::int32_t nCallId)
{
    const std::string utf8 = EightBitToUtf8(bytes);
    std::string text;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool bC1 = c == 0xC2 && i + 1 < utf8.size() &&
                         static_cast<unsigned char>(utf8[i + 1]) < 0xA0; // U+0080..U+009F
        if (bC1)
            ++i;
        else if (c >= 0x20 && c != 0x7F)
            text += utf8[i];
    }
    const bool bBlank = std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
    return bBlank ? "Call " + std::to_string(nCallId) : text;
}
