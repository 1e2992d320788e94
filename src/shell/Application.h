// TApplication: the application object of the desktop program, over Qt's event loop. It owns
// the windows created with CreateForm, knows the main window, runs the main and modal message
// loops, and is the default error display for exceptions that reach a window's handler.
//
// Termination is a request: Terminate posts a quit message and the caller carries on. Once that
// message has been handled, every modal loop ends with mrCancel after its next round of
// messages, and the main loop ends after one round. Everything here runs on the GUI thread.
//
// TApplicationHost is the QApplication of the process; its notify catches what an event
// handler lets escape and hands it to the current TApplication.
#pragma once

#include <QApplication>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Modal results, as the desktop class library numbers them.
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;

// Starts a program detached: its path, no arguments, shown normally. Tests replace it.
using TLauncher = std::function<void(const std::string& executable)>;

class TApplication : public QObject {
 public:
  TApplication();
  ~TApplication() override;  // frees the windows it owns; the main window last

  // Installs the dialog-based message boxes and the fonts. Call once, after the host exists.
  void Initialize();

  // Creates a window owned by the application; the first one becomes the main window once its
  // constructor has returned.
  template <typename TWindow>
  TWindow* CreateForm() {
    auto window = std::make_unique<TWindow>();
    TWindow* created = window.get();
    Adopt(std::move(window));
    return created;
  }

  // Shows the main window and handles messages until termination has been requested.
  void Run();
  // One round of the message loop: waits for messages unless termination has been requested.
  void HandleMessage();
  // Runs a modal loop over a visible window until finished() answers true; answers the modal
  // result, or mrCancel when termination ended the loop.
  int RunModalLoop(QWidget& window, const std::function<int()>& modalResult);

  void Terminate();
  bool Terminated() const { return FTerminated; }

  // The default error display: EAbort is silent, any other exception shows its message in an
  // error box captioned with the title.
  void HandleException(std::exception_ptr error);
  // Runs a handler; what it raises goes to HandleException.
  void Guard(const std::function<void()>& handler);

  // The full path of the running executable, and its command-line arguments after the path.
  std::string ExeName() const;
  const std::vector<std::string>& Params() const { return FParams; }
  void SetParams(std::vector<std::string> params) { FParams = std::move(params); }

  // Starts the executable again (WinExec with SW_SHOWNORMAL); the result is not looked at.
  void Restart() const;
  void SetLauncher(TLauncher launcher) { FLauncher = std::move(launcher); }

  QWidget* MainForm() const { return FMainForm; }
  std::string Title = "zuzavezu";

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Adopt(std::unique_ptr<QWidget> window);

  bool FTerminated = false;
  QPointer<QWidget> FMainForm;
  std::vector<std::unique_ptr<QWidget>> FForms;
  std::vector<std::string> FParams;
  TLauncher FLauncher;
};

// The application object of the running program; null before one is created.
extern TApplication* Application;

class TApplicationHost : public QApplication {
 public:
  TApplicationHost(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the busy pointer while a request blocks the GUI thread.
class TBusyCursor {
 public:
  TBusyCursor();
  ~TBusyCursor();
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};
