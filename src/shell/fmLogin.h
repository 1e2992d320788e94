// TfrmLogin, the login window. Creating one runs the connect sequence (the configured service,
// a fresh query pool and facade; on failure the settings window and the end of the program).
// Shown by ShowLoginDialog, it looks the user number up in T_Pm_User and compares the password
// in the client; a user number and password on the command line log in without typing.
#pragma once

#include <QPoint>

#include "data/DataSet.h"
#include "shell/Form.h"
#include "ui_fmLogin.h"

class TfrmLogin : public TForm, public Ui::TfrmLogin {
 public:
  explicit TfrmLogin(QWidget* owner = nullptr);

  void btnOKClick();
  void btnCancleClick();
  void edUserIDExit();
  void LookupUser();

 protected:
  void FormCreate() override;  // the connect sequence
  void FormShow() override;    // the command-line login
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConnectSequence();
  void Image1MouseDown(const QPoint& globalPosition);

  QPoint FDragOffset;
  bool FDragging = false;
};

// Shows a login window modally; true when the user logged in.
bool ShowLoginDialog();

// The dataset of the most recent lookup, for the whole process; null before the first one.
extern TCustomADODataSet* LoginDataSet;
