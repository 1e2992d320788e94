#include "shell/Application.h"

#include <QCloseEvent>
#include <QEvent>
#include <QMessageBox>
#include <QProcess>
#include <QString>
#include <cstdio>
#include <filesystem>

#include "platform/Dialogs.h"
#include "platform/Exceptions.h"
#include "shell/Fonts.h"

TApplication* Application = nullptr;

namespace {

// The quit message that Terminate posts.
const QEvent::Type kQuitMessage = static_cast<QEvent::Type>(QEvent::registerEventType());

void LaunchDetached(const std::string& executable) { QProcess::startDetached(QString::fromStdString(executable), {}); }

QMessageBox::Icon IconOf(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtWarning: return QMessageBox::Warning;
    case TMsgDlgType::mtError: return QMessageBox::Critical;
    case TMsgDlgType::mtInformation: return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation: return QMessageBox::Question;
    case TMsgDlgType::mtCustom: break;
  }
  return QMessageBox::NoIcon;
}

// The message boxes of the running program: modal, one OK button, ended by termination too.
void ShowMessageBox(TMsgDlgType type, std::string_view caption, std::string_view text) {
  QMessageBox box(IconOf(type), QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())),
                  QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok);
  bool finished = false;
  QObject::connect(&box, &QDialog::finished, [&finished] { finished = true; });
  if (Application == nullptr) {
    box.exec();
    return;
  }
  box.setWindowModality(Qt::ApplicationModal);
  box.show();
  Application->RunModalLoop(box, [&finished] { return finished ? mrOk : mrNone; });
}

}  // namespace

TApplication::TApplication() : FLauncher(LaunchDetached) {
  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) FParams.push_back(arguments[i].toStdString());
  Application = this;
}

TApplication::~TApplication() {
  // Owned windows go before the main window, which may be referred to by them.
  while (!FForms.empty()) FForms.pop_back();
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
  InstallFontSubstitutes();
  SetMessageBoxHook(ShowMessageBox);
}

void TApplication::Adopt(std::unique_ptr<QWidget> window) {
  if (FMainForm == nullptr) {
    FMainForm = window.get();
    FMainForm->installEventFilter(this);
  }
  FForms.push_back(std::move(window));
}

void TApplication::Run() {
  if (FMainForm != nullptr) FMainForm->show();
  do {
    HandleMessage();
  } while (!FTerminated);
}

void TApplication::HandleMessage() {
  QCoreApplication::processEvents(FTerminated ? QEventLoop::AllEvents
                                              : QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

int TApplication::RunModalLoop(QWidget& window, const std::function<int()>& modalResult) {
  int result = modalResult();
  while (result == mrNone) {
    HandleMessage();
    result = FTerminated ? mrCancel : modalResult();
  }
  window.hide();
  return result;
}

void TApplication::Terminate() { QCoreApplication::postEvent(this, new QEvent(kQuitMessage)); }

bool TApplication::event(QEvent* event) {
  if (event->type() == kQuitMessage) {
    FTerminated = true;
    return true;
  }
  return QObject::event(event);
}

bool TApplication::eventFilter(QObject* watched, QEvent* event) {
  // Closing the main window ends the application.
  if (watched == FMainForm && event->type() == QEvent::Close && event->isAccepted()) Terminate();
  return false;
}

void TApplication::HandleException(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
  } catch (const std::exception& e) {
    MessageDlg(TMsgDlgType::mtError, Title, e.what());
  } catch (...) {
    MessageDlg(TMsgDlgType::mtError, Title, "Unknown error");
  }
}

void TApplication::Guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    HandleException(std::current_exception());
  }
}

std::string TApplication::ExeName() const {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? QCoreApplication::applicationFilePath().toStdString() : path.string();
}

void TApplication::Restart() const {
  if (FLauncher) FLauncher(ExeName());
}

TApplicationHost::TApplicationHost(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplicationHost::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    if (Application != nullptr) {
      Application->HandleException(std::current_exception());
    } else {
      std::fputs("zuzavezu: an event handler raised an error\n", stderr);
    }
    return false;
  }
}

TBusyCursor::TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
TBusyCursor::~TBusyCursor() { QApplication::restoreOverrideCursor(); }
