// The main window's playlist view: adding by dialog and by drop, removing
// rows, double clicks, and keeping the default playlist file current.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>

#include "playlist_model.h"
#include "rules/status_text.h"
#include "track_gains.h"
#include "voxreel_dlg.h"

namespace {
// Below this many files an add is quick enough to go without progress texts.
constexpr std::size_t kProgressThreshold = 300;
// Edits reach the default playlist file this soon, so a crash loses little.
constexpr int kSaveDelayMs = 1500;
} // namespace

void CVoxreelDlg::OnAddFiles()
{
    AddPaths(m_chooseFiles(this));
}

void CVoxreelDlg::AddPaths(std::vector<std::filesystem::path> paths, bool bPlayFirst)
{
    if (paths.empty())
        return;
    const std::uint64_t nRequest = m_pAdder->Add(std::move(paths));
    if (bPlayFirst)
        m_nPlayRequest = nRequest;
}

bool CVoxreelDlg::IsAddingFiles() const
{
    return m_pAdder->Busy();
}

// The playlist read at start is in the view already; what its entries lack
// (titles from tags, lengths) is read in the background and shown as it
// arrives. Every change of the entries reaches the default playlist file.
void CVoxreelDlg::ShowLoadedPlaylist()
{
    connect(m_pModel, &CPlaylistModel::entriesChanged, this, [this] {
        ScheduleSave();
        emit playlistChanged();
    });
    m_pAdder->Describe(m_playlist.GetItems());
    m_pGains->MeasureAll();
}

void CVoxreelDlg::FillInDescribed(std::vector<PlaylistItem>&& described)
{
    for (const PlaylistItem& item : described) {
        if (!m_pModel->FillIn(item))
            continue; // removed meanwhile, or a length learnt by playing it came first
        m_transport.OnEntryDescribed(item.id);
    }
}

void CVoxreelDlg::ShowEntryChanged(std::int32_t id)
{
    m_pModel->EntryChanged(id);
}

void CVoxreelDlg::AppendDescribed(std::vector<CFileAdder::Added>&& batch)
{
    std::vector<PlaylistItem> items;
    items.reserve(batch.size());
    std::size_t nPlayAt = batch.size(); // the first file of the add that plays, if here
    for (CFileAdder::Added& added : batch) {
        if (added.nRequest == m_nPlayRequest && nPlayAt == batch.size()) {
            nPlayAt = items.size();
            m_nPlayRequest = 0;
        }
        items.push_back(std::move(added.item));
    }
    const std::vector<std::int32_t> ids = m_pModel->Append(std::move(items));
    m_pGains->Measure(ids);
    if (nPlayAt < ids.size())
        m_transport.OnRowActivated(ids[nPlayAt]);
    // Asking the player costs a wait while it changes state: only when one
    // started, or when the first file of an empty list became the current one.
    if (nPlayAt < ids.size() || m_playlist.GetCurrentId() != m_nAnnouncedEntry)
        AnnounceChanges();
}

void CVoxreelDlg::ShowAddProgress(std::size_t nDone, std::size_t nFound)
{
    if (nFound < kProgressThreshold)
        return;
    const auto done = static_cast<std::uint32_t>(nDone);
    if (nDone < nFound)
        SetStatus(
            FormatStatus("Adding files: %d of %d", {done, static_cast<std::uint32_t>(nFound)}));
    else
        SetStatus(FormatStatus("Added %d files", {done}));
}

void CVoxreelDlg::OnRemoveFiles()
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_ui.pFiles->selectionModel()->selectedRows())
        rows.push_back(index.row());
    // The rows selected are the rows going: letting go of them first spares
    // the selection from following every run of rows as it goes.
    m_ui.pFiles->selectionModel()->clearSelection();
    // The player is left alone: a file that plays goes on after its row is gone.
    m_pModel->RemoveRows(std::move(rows));
}

void CVoxreelDlg::OnListDblClk(const QModelIndex& index)
{
    m_transport.OnRowActivated(index.isValid() ? m_pModel->IdAt(index.row()) : -1);
    AnnounceChanges();
}

void CVoxreelDlg::ScheduleSave()
{
    if (!m_saveTimer.isActive())
        m_saveTimer.start(kSaveDelayMs);
}

void CVoxreelDlg::dragEnterEvent(QDragEnterEvent* pEvent)
{
    if (pEvent->mimeData()->hasUrls())
        pEvent->acceptProposedAction();
}

void CVoxreelDlg::dropEvent(QDropEvent* pEvent)
{
    std::vector<std::filesystem::path> paths;
    std::uint32_t nIgnored = 0;
    for (const QUrl& url : pEvent->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.emplace_back(QFile::encodeName(url.toLocalFile()).toStdString());
        else
            ++nIgnored;
    }
    if (nIgnored > 0)
        SetStatus(FormatStatus("Only local files can be added: %d ignored", {nIgnored}));
    AddPaths(std::move(paths));
    pEvent->acceptProposedAction();
}

// Delete in the playlist view removes the selected rows and Enter plays
// the current one, as a double click does. Insert is the window's shortcut
// and reaches the view no more, so it opens one dialog.
bool CVoxreelDlg::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched != m_ui.pFiles || pEvent->type() != QEvent::KeyPress)
        return QDialog::eventFilter(pWatched, pEvent);
    const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
    if (nKey == Qt::Key_Delete) {
        OnRemoveFiles();
        return true;
    }
    if (nKey == Qt::Key_Return || nKey == Qt::Key_Enter) {
        OnListDblClk(m_ui.pFiles->currentIndex());
        return true;
    }
    return QDialog::eventFilter(pWatched, pEvent);
}
