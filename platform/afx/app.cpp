// The application object and the framework's start and end.
#include <sys/stat.h>

#include <QApplication>
#include <QGuiApplication>
#include <vector>

#include "platform/afx.h"
#include "platform/afx/internal.h"
#include "platform/resources.h"
#include "platform/ui/internal.h"
#include "platform/ui/messages.h"

namespace {

CWinApp*& TheApp() {
  static CWinApp* app = nullptr;
  return app;
}

std::unique_ptr<QApplication>& TheToolkit() {
  static std::unique_ptr<QApplication> toolkit;
  return toolkit;
}

}  // namespace

// The help command reaches OnHelp only through an application's own entry.
BEGIN_MESSAGE_MAP(CWinApp, CWinThread)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName) : m_bNameGiven(lpszAppName != nullptr) {
  if (lpszAppName != nullptr) {
    m_appName = lpszAppName;
    m_pszAppName = m_appName.c_str();
  }
  TheApp() = this;
}

CWinApp::~CWinApp() {
  if (TheApp() == this) TheApp() = nullptr;
}

void CWinApp::SetModuleNames(const std::string& programPath) {
  const size_t slash = programPath.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : programPath.substr(0, slash);
  std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  m_exeName = name;
  m_pszExeName = m_exeName.c_str();
  if (!m_bNameGiven) {
    m_appName = name;
    m_pszAppName = m_appName.c_str();
  }
  m_helpPath = folder + "/" + name + ".html";
  m_pszHelpFilePath = m_helpPath.c_str();
}

BOOL CWinApp::InitApplication() { return TRUE; }

int CWinApp::Run() {
  QApplication::exec();
  return ExitInstance();
}

BOOL CWinApp::Enable3dControlsStatic() { return TRUE; }

HICON CWinApp::LoadIcon(UINT nIDResource) const {
  return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

// Opens the help file beside the program in the desktop's viewer; without one
// there is no help and nothing happens.
void CWinApp::OnHelp() {
  struct stat st;
  if (m_pszHelpFilePath == nullptr || ::stat(m_pszHelpFilePath, &st) != 0 || !S_ISREG(st.st_mode)) return;
  CWnd* main = AfxGetMainWnd();
  ::ShellExecuteA(main != nullptr ? main->m_hWnd : nullptr, "open", m_pszHelpFilePath, nullptr, nullptr,
                  SW_SHOWNORMAL);
}

CWinApp* AfxGetApp() { return TheApp(); }

CWnd* AfxGetMainWnd() {
  CWinApp* app = AfxGetApp();
  return app != nullptr ? app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetResourceHandle() { return nullptr; }

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT /*nIDHelp*/) {
  CWinApp* app = AfxGetApp();
  CWnd* main = AfxGetMainWnd();
  return ::MessageBoxA(main != nullptr ? main->m_hWnd : nullptr, lpszText,
                       app != nullptr ? app->m_pszAppName : nullptr, nType);
}

BOOL AfxWinInit(int argc, char** argv) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return FALSE;
  // The toolkit takes its own options out of the list it is given; the
  // runtime's __argv stays as the program was started.
  static int toolkitArgc = 0;
  static std::vector<char*> toolkitArgv;
  toolkitArgc = argc;
  toolkitArgv.assign(argv, argv + argc);
  toolkitArgv.push_back(nullptr);
  TheToolkit() = std::make_unique<QApplication>(toolkitArgc, toolkitArgv.data());
  if (const platform::res::VersionInfo* version = platform::res::Version()) {
    QCoreApplication::setApplicationName(QString::fromUtf8(version->internalName));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(version->fileVersionText).remove(' ').replace(',', '.'));
    QCoreApplication::setOrganizationName(QString::fromUtf8(version->companyName));
  }
  char program[MAX_PATH];
  if (::GetModuleFileNameA(nullptr, program, sizeof program) == 0) std::snprintf(program, sizeof program, "%s", argv[0]);
  app->SetModuleNames(program);
  QGuiApplication::setDesktopFileName(QString::fromUtf8(app->m_pszExeName));
  platform::ui::StartDelivery();
  // F1 in any of the program's dialogs asks the main window for help.
  platform::ui::SetHelpKeyHandler([] {
    if (CWnd* main = AfxGetMainWnd()) main->SendMessage(WM_COMMAND, ID_HELP, 0);
  });
  return TRUE;
}

void AfxWinTerm() {
  // No window will answer any more: a worker still sending gets 0 at once and
  // can end, and the framework waits for it before the toolkit goes.
  platform::ui::StopDelivery();
  AfxJoinWorkerThreads();
  TheToolkit().reset();
}

int AfxWinMain(int argc, char** argv) {
  if (!AfxWinInit(argc, argv)) return 1;
  CWinApp* app = AfxGetApp();
  int code = 0;
  if (app->InitApplication() && app->InitInstance()) {
    code = app->Run();
  } else {
    code = app->ExitInstance();
  }
  AfxWinTerm();
  return code;
}
