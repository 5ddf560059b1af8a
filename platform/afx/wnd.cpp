// Command targets, windows and their message routing.
#include <map>
#include <vector>

#include "platform/afx.h"
#include "platform/afx/internal.h"
#include "platform/ui/internal.h"

namespace {

// Objects attached to windows, on the user-interface thread.
std::map<HWND, CWnd*>& PermanentMap() {
  static std::map<HWND, CWnd*> map;
  return map;
}

// Objects made by FromHandle for windows that have none; they live until
// their window's object is asked for again after the window is gone.
std::map<HWND, std::unique_ptr<CWnd>>& TemporaryMap() {
  static std::map<HWND, std::unique_ptr<CWnd>> map;
  return map;
}

struct CurrentMessage {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// The messages being handled, innermost last, so Default() can pass the
// current one on.
std::vector<CurrentMessage>& CurrentMessages() {
  static std::vector<CurrentMessage> messages;
  return messages;
}

}  // namespace

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
  static const AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(UINT message, UINT code, UINT id) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfn != nullptr; ++entry) {
      if (entry->nMessage != message) continue;
      if (message != WM_COMMAND) return entry;
      if (entry->nCode == code && id >= entry->nID && id <= entry->nLastID) return entry;
    }
  }
  return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode) {
  const AFX_MSGMAP_ENTRY* entry = FindEntry(WM_COMMAND, UINT(nCode), nID);
  if (entry == nullptr) return FALSE;
  entry->pfn(this, 0, 0);
  return TRUE;
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::CWnd() = default;

CWnd::~CWnd() {
  if (m_hWnd != nullptr) Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  auto found = PermanentMap().find(hWnd);
  return found != PermanentMap().end() ? found->second : nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
  if (hWnd == nullptr) return nullptr;
  if (CWnd* permanent = FromHandlePermanent(hWnd)) return permanent;
  auto& temporaries = TemporaryMap();
  for (auto it = temporaries.begin(); it != temporaries.end();) {
    if (!::IsWindow(it->first)) {
      it->second->m_hWnd = nullptr;
      it = temporaries.erase(it);
    } else {
      ++it;
    }
  }
  auto& temporary = temporaries[hWnd];
  if (!temporary) {
    temporary = std::make_unique<CWnd>();
    temporary->m_hWnd = hWnd;
  }
  return temporary.get();
}

BOOL CWnd::Attach(HWND hWnd) {
  if (hWnd == nullptr || m_hWnd != nullptr) return FALSE;
  m_hWnd = hWnd;
  PermanentMap()[hWnd] = this;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND hWnd = m_hWnd;
  if (hWnd != nullptr) {
    auto found = PermanentMap().find(hWnd);
    if (found != PermanentMap().end() && found->second == this) PermanentMap().erase(found);
  }
  m_hWnd = nullptr;
  return hWnd;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
  if (pParent == nullptr) return FALSE;
  return Attach(::GetDlgItem(pParent->m_hWnd, int(nID)));
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageA(m_hWnd, message, wParam, lParam);
}
BOOL CWnd::EnableWindow(BOOL bEnable) { return ::EnableWindow(m_hWnd, bEnable); }
BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }
void CWnd::SetWindowText(LPCSTR lpszString) { ::SetWindowTextA(m_hWnd, lpszString); }



CMenu* CWnd::GetSystemMenu(BOOL bRevert) {
  const HMENU menu = ::GetSystemMenu(m_hWnd, bRevert);
  if (menu == nullptr) return nullptr;
  if (!m_pSystemMenu) m_pSystemMenu = std::make_unique<CMenu>();
  m_pSystemMenu->m_hMenu = menu;
  return m_pSystemMenu.get();
}

void CWnd::GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }


BOOL CWnd::DestroyWindow() {
  if (m_hWnd == nullptr) return FALSE;
  const BOOL destroyed = ::DestroyWindow(m_hWnd);
  AfxDetachDestroyedWindows();
  return destroyed;
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_COMMAND) {
    if (!OnCommand(wParam, lParam)) return FALSE;
    if (pResult != nullptr) *pResult = 1;
    return TRUE;
  }
  const AFX_MSGMAP_ENTRY* entry = FindEntry(message, 0, 0);
  if (entry == nullptr) return FALSE;
  const LRESULT result = entry->pfn(this, wParam, lParam);
  if (pResult != nullptr) *pResult = result;
  return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) { return OnCmdMsg(LOWORD(wParam), HIWORD(wParam)); }

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  const auto& messages = CurrentMessages();
  if (messages.empty() || messages.back().hwnd != m_hWnd) return 0;
  const CurrentMessage current = messages.back();
  return DefWindowProc(current.message, current.wParam, current.lParam);
}

void CWnd::OnPaint() { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return Default() != 0 ? TRUE : FALSE; }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }

void AfxDetachDestroyedWindows() {
  auto& permanent = PermanentMap();
  for (auto it = permanent.begin(); it != permanent.end();) {
    if (!::IsWindow(it->first)) {
      it->second->m_hWnd = nullptr;
      it = permanent.erase(it);
    } else {
      ++it;
    }
  }
}

LRESULT AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
  if (wnd == nullptr) {
    // The first message of a window the framework created: attach the object
    // that asked for it.
    wnd = static_cast<CWnd*>(platform::ui::ContextOf(hWnd));
    if (wnd == nullptr) return ::DefWindowProcA(hWnd, message, wParam, lParam);
    wnd->Attach(hWnd);
  }
  CurrentMessages().push_back({hWnd, message, wParam, lParam});
  struct Pop {
    ~Pop() { CurrentMessages().pop_back(); }
  } pop;
  return wnd->WindowProc(message, wParam, lParam);
}


BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem) {
  return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }
CPaintDC::~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd == nullptr) rControl.SubclassDlgItem(UINT(nIDC), pDX->m_pDlgWnd);
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
  const HWND control = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
  if (pDX->m_bSaveAndValidate) {
    const int length = ::GetWindowTextLengthA(control);
    ::GetWindowTextA(control, value.GetBuffer(length + 1), length + 1);
    value.ReleaseBuffer();
  } else {
    ::SetWindowTextA(control, value);
  }
}
