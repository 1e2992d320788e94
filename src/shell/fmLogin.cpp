#include "shell/fmLogin.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QWindow>
#include <memory>
#include <optional>

#include "common/untFunctions.h"
#include "local/untFunctions.h"
#include "platform/Dialogs.h"
#include "platform/SysUtils.h"
#include "remote/UntRemSql.h"
#include "remote/WriteBackSql.h"
#include "shell/Application.h"
#include "shell/Artwork.h"
#include "shell/Fonts.h"
#include "shell/ShellConfig.h"
#include "shell/fmInitConfig.h"

TCustomADODataSet* LoginDataSet = nullptr;

namespace {

// The user number whose row LoginDataSet holds, set once a lookup has opened. OK compares only
// against the row of the number in the field, so it looks that number up first when needed.
std::optional<std::string> gLookedUpUserID;

// Every connect sequence makes a new pool and facade and frees neither of the earlier ones:
// the first facade's connection serves the login dialog's and the main window's queries for
// the life of the process. They stay referenced here.
void KeepEarlier() {
  static auto* pools = new std::vector<TDBMrg*>;
  static auto* facades = new std::vector<TRmoHelper*>;
  if (DBMrg != nullptr) pools->push_back(DBMrg);
  if (RmoHelper != nullptr) facades->push_back(RmoHelper);
}

constexpr const char* kLoginFailed = "登录错误：用户名或密码错误！";

}  // namespace

TfrmLogin::TfrmLogin(QWidget* owner) : TForm(owner) {
  setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setFixedSize(633, 417);
  move(374, 136);
  setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));

  Image1->setPixmap(artwork::LoginBackground());
  RzLabel1->setFont(PixelFont(QStringLiteral("黑体"), 37, {.Bold = true}));
  RzLabel1->setStyleSheet(QStringLiteral("color: rgb(255, 255, 0);"));
  RzLabel2->setFont(PixelFont(QStringLiteral("宋体"), 27));
  RzLabel2->setStyleSheet(QStringLiteral("color: rgb(255, 153, 0);"));
  for (QLabel* label : {Label1, Label2, Label3})
    label->setFont(PixelFont(QStringLiteral("宋体"), 16, {.Underline = true}));
  for (QLabel* label : {RzLabel1, RzLabel2, Label1, Label2, Label3}) label->adjustSize();
  for (QLineEdit* edit : {edUserID, edUserName, edPassWord}) {
    edit->setFont(PixelFont(QStringLiteral("宋体"), 15));
    edit->setStyleSheet(
        QStringLiteral("QLineEdit { border: 1px solid rgb(127, 157, 185); background: white; "
                       "lineedit-password-character: 42; }"
                       "QLineEdit:disabled { background: rgb(236, 236, 236); color: black; }"));
  }
  btnOK->setIcon(artwork::ButtonFace(QStringLiteral("确定")));
  btnCancle->setIcon(artwork::ButtonFace(QStringLiteral("取消")));
  for (QToolButton* button : {btnOK, btnCancle}) button->setIconSize(QSize(79, 21));

  connect(btnOK, &QToolButton::clicked, this, [this] { Application->Guard([this] { btnOKClick(); }); });
  connect(btnCancle, &QToolButton::clicked, this, [this] { Application->Guard([this] { btnCancleClick(); }); });
  // Enter moves on from the user number and confirms the password.
  connect(edUserID, &QLineEdit::returnPressed, this, [this] { edPassWord->setFocus(Qt::TabFocusReason); });
  connect(edPassWord, &QLineEdit::returnPressed, btnOK, &QToolButton::click);
  edUserID->installEventFilter(this);
  Image1->installEventFilter(this);

  DoCreate();
}

void TfrmLogin::FormCreate() { ConnectSequence(); }

void TfrmLogin::ConnectSequence() {
  const TIniFile file = config::File();
  const std::string serverName = file.ReadString(config::kSection, config::kServerName, config::kDefaultServerName);
  const int32_t port = file.ReadInteger(config::kSection, config::kPort, config::kDefaultPort);

  KeepEarlier();
  DBMrg = new TDBMrg(TDBMrg::BuildJetConnectionString(AppFolder() + "temp.mdb", ""), 15, 5);
  RmoHelper = new TRmoHelper(9000);
  bool connected = false;
  {
    TBusyCursor busy;
    connected = RmoHelper->ConnectServer(serverName, port);
  }
  if (connected) return;

  ShowError("连接数据库服务程序失败，请先启动服务程序!");
  const auto settings = std::make_unique<TfrmInitConfig>();
  if (settings->ShowModal() == mrOk) Application->Restart();
  Application->Terminate();
}

void TfrmLogin::FormShow() {
  const auto& params = Application->Params();
  if (params.empty() || Trim(params[0]).empty()) return;
  edUserID->setText(QString::fromStdString(Trim(params[0])));
  LookupUser();
  if (params.size() > 1) edPassWord->setText(QString::fromStdString(params[1]));
  btnOK->click();
}

void TfrmLogin::LookupUser() {
  const std::string userID = edUserID->text().toStdString();
  const std::string statement = "Select A.Fname_L2 as UserName,A.ReportPSWD from T_Pm_User A Where A.Fnumber = " +
                                writeback::QuotedSqlText(userID);
  LoginDataSet = DBMrg->GetQuery("Qryopt");
  gLookedUpUserID.reset();
  {
    TBusyCursor busy;
    RmoHelper->OpenFormat(*LoginDataSet, statement);
  }
  gLookedUpUserID = userID;
  if (LoginDataSet->Active() && LoginDataSet->RecordCount() > 0) {
    edUserName->setText(QString::fromStdString(LoginDataSet->FieldByName("UserName").AsString()));
  }
}

void TfrmLogin::edUserIDExit() { LookupUser(); }

void TfrmLogin::btnOKClick() {
  const std::string userID = edUserID->text().toStdString();
  if (gLookedUpUserID != userID) LookupUser();
  if (LoginDataSet == nullptr || !LoginDataSet->Active() || LoginDataSet->RecordCount() == 0) return;
  if (LoginDataSet->FieldByName("ReportPSWD").AsString() != edPassWord->text().toStdString()) {
    MessageDlg(TMsgDlgType::mtCustom, Application->Title, kLoginFailed);
    return;
  }
  SetModalResult(mrOk);
}

void TfrmLogin::btnCancleClick() { SetModalResult(mrCancel); }

void TfrmLogin::Image1MouseDown(const QPoint& globalPosition) {
  // The system moves a borderless window as if its caption were dragged; where it cannot, the
  // window follows the mouse itself.
  if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
  FDragging = true;
  FDragOffset = globalPosition - frameGeometry().topLeft();
}

bool TfrmLogin::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edUserID && event->type() == QEvent::FocusOut) {
    // Leaving the field for another control; not the window losing activation.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      Application->Guard([this] { edUserIDExit(); });
    }
  } else if (watched == Image1) {
    auto globalPosition = [event] { return static_cast<QMouseEvent*>(event)->globalPosition().toPoint(); };
    switch (event->type()) {
      case QEvent::MouseButtonPress: Image1MouseDown(globalPosition()); return true;
      case QEvent::MouseMove:
        if (FDragging) move(globalPosition() - FDragOffset);
        return FDragging;
      case QEvent::MouseButtonRelease: FDragging = false; return true;
      default: break;
    }
  }
  return TForm::eventFilter(watched, event);
}

bool ShowLoginDialog() {
  const auto login = std::make_unique<TfrmLogin>();
  return login->ShowModal() == mrOk;
}
