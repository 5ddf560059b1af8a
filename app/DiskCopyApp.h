// The application object: it runs the main dialog modally as the program's
// only main window, and the program ends when the dialog closes.
#pragma once

#include "platform/afx.h"

class CDiskCopyApp : public CWinApp {
 public:
  CDiskCopyApp();
  ~CDiskCopyApp() override;
  BOOL InitInstance() override;

  DECLARE_MESSAGE_MAP()
};
