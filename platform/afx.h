// Our stand-in for the application framework: strings, windows and dialogs
// with message maps, controls, menus, painting, worker threads and the
// application object.
#pragma once

#include <memory>
#include <string>

#include "platform/win32.h"

#define afx_msg
#define ID_HELP 0xE146
#define AFX_IDS_APP_TITLE 0xE000

// ---- CString -----------------------------------------------------------------

class CString {
 public:
  CString() = default;
  CString(const CString&) = default;
  CString(CString&&) noexcept = default;
  CString(LPCSTR text) : m_text(text != nullptr ? text : "") {}  // NOLINT: converts like the framework's
  CString(LPCSTR text, int length) : m_text(text, size_t(length)) {}
  explicit CString(const std::string& text) : m_text(text) {}
  CString& operator=(const CString&) = default;
  CString& operator=(CString&&) noexcept = default;
  CString& operator=(LPCSTR text) {
    m_text = text != nullptr ? text : "";
    return *this;
  }

  int GetLength() const { return int(m_text.size()); }
  BOOL IsEmpty() const { return m_text.empty() ? TRUE : FALSE; }
  void Empty() { m_text.clear(); }
  operator LPCSTR() const { return m_text.c_str(); }  // NOLINT: converts like the framework's

  CString& operator+=(const CString& text) {
    m_text += text.m_text;
    return *this;
  }
  CString& operator+=(LPCSTR text) {
    if (text != nullptr) m_text += text;
    return *this;
  }
  CString& operator+=(char c) {
    m_text += c;
    return *this;
  }
  friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
  friend CString operator+(const CString& a, LPCSTR b) { return CString(a.m_text + (b != nullptr ? b : "")); }
  friend CString operator+(LPCSTR a, const CString& b) { return CString((a != nullptr ? a : "") + b.m_text); }
  friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
  friend bool operator==(const CString& a, LPCSTR b) { return a.m_text == (b != nullptr ? b : ""); }
  friend bool operator==(LPCSTR a, const CString& b) { return b == a; }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, LPCSTR b) { return !(a == b); }
  friend bool operator!=(LPCSTR a, const CString& b) { return !(b == a); }

  // A writable buffer of at least length characters; ReleaseBuffer ends the
  // string at its first NUL, or at newLength.
  LPSTR GetBuffer(int length);
  void ReleaseBuffer(int newLength = -1);

  const std::string& str() const { return m_text; }

 private:
  std::string m_text;
};

// ---- Message maps -------------------------------------------------------------

class CCmdTarget;
class CWnd;
typedef LRESULT (*AFX_PMSG)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;    // notification code, for WM_COMMAND
  UINT nID;      // first and last command id, for WM_COMMAND
  UINT nLastID;
  AFX_PMSG pfn;  // null ends the table
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                     \
 protected:                                       \
  static const AFX_MSGMAP* GetThisMessageMap();   \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }    \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                    \
    using ThisClass [[maybe_unused]] = theClass;                                       \
    using TheBaseClass = baseClass;                                                    \
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                              \
  {0, 0, 0, 0, nullptr}                                                                \
  }                                                                                    \
  ;                                                                                    \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
  return &messageMap;                                                                  \
  }

#define ON_COMMAND(id, memberFxn)                                                               \
  {WM_COMMAND, 0, UINT(id), UINT(id), [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT {      \
     static_cast<ThisClass*>(target)->memberFxn();                                              \
     return 0;                                                                                  \
   }},
#define ON_BN_CLICKED(id, memberFxn)                                                            \
  {WM_COMMAND, BN_CLICKED, UINT(id), UINT(id), [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT { \
     static_cast<ThisClass*>(target)->memberFxn();                                              \
     return 0;                                                                                  \
   }},
#define ON_WM_PAINT()                                                              \
  {WM_PAINT, 0, 0, 0, [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT {         \
     static_cast<ThisClass*>(target)->OnPaint();                                   \
     return 0;                                                                     \
   }},
#define ON_WM_QUERYDRAGICON()                                                              \
  {WM_QUERYDRAGICON, 0, 0, 0, [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT {         \
     return reinterpret_cast<LRESULT>(static_cast<ThisClass*>(target)->OnQueryDragIcon()); \
   }},
#define ON_WM_SYSCOMMAND()                                                                  \
  {WM_SYSCOMMAND, 0, 0, 0, [](CCmdTarget* target, WPARAM wParam, LPARAM lParam) -> LRESULT { \
     static_cast<ThisClass*>(target)->OnSysCommand(UINT(wParam), lParam);                   \
     return 0;                                                                              \
   }},
#define ON_WM_SETCURSOR()                                                                                   \
  {WM_SETCURSOR, 0, 0, 0, [](CCmdTarget* target, WPARAM wParam, LPARAM lParam) -> LRESULT {                 \
     return static_cast<ThisClass*>(target)->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)), \
                                                        LOWORD(lParam), HIWORD(lParam));                    \
   }},
#define ON_MESSAGE(message, memberFxn)                                                            \
  {UINT(message), 0, 0, 0, [](CCmdTarget* target, WPARAM wParam, LPARAM lParam) -> LRESULT {     \
     return static_cast<ThisClass*>(target)->memberFxn(wParam, lParam);                          \
   }},

class CCmdTarget {
 public:
  CCmdTarget() = default;
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;
  virtual ~CCmdTarget() = default;
  virtual const AFX_MSGMAP* GetMessageMap() const;
  // Runs the handler of a command from the message maps; FALSE when none.
  virtual BOOL OnCmdMsg(UINT nID, int nCode);

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  // The handler of a message in this object's maps, most derived first.
  const AFX_MSGMAP_ENTRY* FindEntry(UINT message, UINT code, UINT id) const;
};

// ---- Windows ------------------------------------------------------------------

class CMenu;

class CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
};

struct CRect : RECT {
  CRect() : RECT{0, 0, 0, 0} {}
  CRect(LONG l, LONG t, LONG r, LONG b) : RECT{l, t, r, b} {}
  int Width() const { return int(right - left); }
  int Height() const { return int(bottom - top); }
  operator LPRECT() { return this; }  // NOLINT: converts like the framework's
};

class CWnd : public CCmdTarget {
 public:
  CWnd();
  ~CWnd() override;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }

  // The object attached to a window; FromHandle makes a temporary one for a
  // window that has none.
  static CWnd* FromHandle(HWND hWnd);
  static CWnd* FromHandlePermanent(HWND hWnd);
  BOOL Attach(HWND hWnd);
  HWND Detach();
  BOOL SubclassDlgItem(UINT nID, CWnd* pParent);

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL EnableWindow(BOOL bEnable = TRUE);
  BOOL IsIconic() const;
  void SetWindowText(LPCSTR lpszString);
  CMenu* GetSystemMenu(BOOL bRevert);
  void GetClientRect(LPRECT lpRect) const;
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  BOOL DestroyWindow();

  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual void DoDataExchange(CDataExchange* pDX);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

 protected:
  // The default processing of the message being handled now.
  LRESULT Default();
  afx_msg void OnPaint();
  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
  afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
  afx_msg HCURSOR OnQueryDragIcon();

  DECLARE_MESSAGE_MAP()

 private:
  std::unique_ptr<CMenu> m_pSystemMenu;
};

// The procedure of every window the framework creates: it finds the window's
// object and calls its WindowProc.
LRESULT AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

class CButton : public CWnd {};

class CProgressCtrl : public CWnd {};

class CMenu {
 public:
  HMENU m_hMenu = nullptr;
  BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr);
};

class CDC {
 public:
  HDC m_hDC = nullptr;
  HDC GetSafeHdc() const { return m_hDC; }
  BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
};

class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* pWnd);
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  ~CPaintDC();
  PAINTSTRUCT m_ps{};

 private:
  HWND m_hWnd;
};

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  // Runs the dialog modally; its result, or -1 when it cannot be created.
  virtual INT_PTR DoModal();
  // Creates the dialog without a modal loop of its own; DestroyWindow ends it.
  BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  void EndDialog(int nResult);
  virtual BOOL OnInitDialog();
  BOOL OnCmdMsg(UINT nID, int nCode) override;

 protected:
  virtual void OnOK();
  virtual void OnCancel();
  LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);

  UINT m_nIDHelp;
  CWnd* m_pParentWnd;

  DECLARE_MESSAGE_MAP()
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);

// ---- Threads and the application ---------------------------------------------

typedef UINT (*AFX_THREADPROC)(LPVOID);

class CWinThread : public CCmdTarget {
 public:
  CWinThread();
  HANDLE m_hThread = nullptr;
  DWORD m_nThreadID = 0;
  BOOL m_bAutoDelete = TRUE;
  CWnd* m_pMainWnd = nullptr;
  virtual BOOL InitInstance();
  virtual int ExitInstance();
  virtual int Run();
};

// Starts a worker thread running pfnThreadProc(pParam); null when no thread
// could be started. The returned object deletes itself when the thread ends.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                           UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);

class CWinApp : public CWinThread {
 public:
  explicit CWinApp(LPCSTR lpszAppName = nullptr);
  ~CWinApp() override;

  // The application's name: the one given, else the program file's name
  // without folder and extension; the caption of message boxes without one.
  LPCSTR m_pszAppName = nullptr;
  LPCSTR m_pszExeName = nullptr;
  // The help file beside the program, named after it (".html" here).
  LPCSTR m_pszHelpFilePath = nullptr;
  HINSTANCE m_hInstance = nullptr;

  virtual BOOL InitApplication();
  int Run() override;
  BOOL Enable3dControlsStatic();
  HICON LoadIcon(UINT nIDResource) const;
  afx_msg void OnHelp();

  // Called by the framework before InitInstance.
  void SetModuleNames(const std::string& programPath);

  DECLARE_MESSAGE_MAP()

 private:
  std::string m_appName, m_exeName, m_helpPath;
  bool m_bNameGiven;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetResourceHandle();
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// The framework's entry: sets up the toolkit and the application object, runs
// InitInstance and, if it returns TRUE, the message loop; then tears down.
int AfxWinMain(int argc, char** argv);
// The parts of AfxWinMain around InitInstance, for hosts such as test runners.
BOOL AfxWinInit(int argc, char** argv);
void AfxWinTerm();
