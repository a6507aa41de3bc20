// The view's commands of the movie player window.
#include "app/TALVERNView.h"

#include "platform/ui/DialogTemplate.h"
#include "readers/DecDVAVI.h"
#include "resources/CommandIds.h"

void CTALVERNView::OnPlayerToggle() {
    if (m_player) {
        // Released, the window hides and its device falls silent at once.
        m_player.Release();
        return;
    }
    BITMAPINFOHEADER header{};
    if (!m_pDocument || !GetSourceHeader(&header)) return;
    const RECT video{0, 0, header.biWidth, header.biHeight};
    auto* player = new CPlayer(video, m_pDocument->GetPathName(), m_nCurrent, ID_PLAYER_CLOSED);
    m_player.Attach(player);
    player->SetPlaying(TRUE);
    player->CreatePopup(this, WS_VISIBLE | WS_SYSMENU);
    player->OpenAndPlay();
}

void CTALVERNView::OnPlayerPause() {
    CPlayer* player = m_player.Get();
    if (!player) return;
    if (player->IsPlaying()) {
        player->Stop();
        player->SetPlaying(FALSE);
    } else {
        player->Resume();
        player->SetPlaying(TRUE);
    }
}

void CTALVERNView::OnPlayerFirst() {
    if (CPlayer* player = m_player.Get()) {
        player->SeekToStart();
        player->SetPlaying(FALSE);
    }
}

void CTALVERNView::OnPlayerLast() {
    if (CPlayer* player = m_player.Get()) {
        player->SeekToEnd();
        player->SetPlaying(FALSE);
    }
}

void CTALVERNView::OnPlayerClosed() { m_player.Release(); }

void CTALVERNView::OnUpdatePlayerToggle(CCmdUI& ui) {
    // The player device reads the file with the AVI file library, which cannot decode
    // what the combined reader was chosen for.
    const CDecMovie* reader = m_pDocument ? m_pDocument->m_Reader.Get() : nullptr;
    ui.Enable(IsFileOpen() && reader && !dynamic_cast<const CDecDVAVI*>(reader));
    ui.SetCheck(m_player ? 1 : 0);
}

void CTALVERNView::OnUpdatePlayerPause(CCmdUI& ui) {
    ui.Enable(m_player ? TRUE : FALSE);
    ui.SetCheck(m_player && !m_player->IsPlaying() ? 1 : 0);
}

void CTALVERNView::OnUpdatePlayerFirstLast(CCmdUI& ui) { ui.Enable(m_player ? TRUE : FALSE); }
