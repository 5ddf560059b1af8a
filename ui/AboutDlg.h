// The about box: one picture with the program's name, version and credits.
#pragma once

#include "platform/afx.h"
#include "res/resource.h"

class CAboutDlg : public CDialog {
 public:
  explicit CAboutDlg(CWnd* pParent = NULL);
  ~CAboutDlg() override;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  DECLARE_MESSAGE_MAP()
};
