// TForm: a window of the desktop class library over QDialog. It has a modal result whose
// setting ends a modal show, a ShowModal that runs the application's modal loop, and creation
// and show handlers run under the application's error display. Closing the window by any means
// ends a modal show with mrCancel; Escape does not close it.
#pragma once

#include <QDialog>

class TForm : public QDialog {
 public:
  explicit TForm(QWidget* parent = nullptr);

  int ModalResult() const { return FModalResult; }
  // A result other than mrNone ends a running modal show.
  void SetModalResult(int result) { FModalResult = result; }
  int ShowModal();

 protected:
  // Called by a descendant's constructor once its components exist; what the handler raises
  // is shown, and EAbort is silent, as for any handler. The window is created all the same.
  void DoCreate();
  virtual void FormCreate() {}
  // Each time the window becomes visible (not when it is restored by the system).
  virtual void FormShow() {}

  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;

 private:
  int FModalResult = 0;
  bool FInModalLoop = false;
};
