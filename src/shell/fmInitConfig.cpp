#include "shell/fmInitConfig.h"

#include "platform/SysUtils.h"
#include "shell/Application.h"
#include "shell/Fonts.h"
#include "shell/ShellConfig.h"

TfrmInitConfig::TfrmInitConfig(QWidget* owner) : TForm(owner) {
  setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(279, 150);
  move(472, 260);
  setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));
  for (QWidget* widget : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2),
                          static_cast<QWidget*>(edt_TranServer), static_cast<QWidget*>(edt_Port)}) {
    widget->setFont(PixelFont(QStringLiteral("宋体"), 15));
  }
  connect(Button1, &QPushButton::clicked, this, [this] { Application->Guard([this] { Button1Click(); }); });
  DoCreate();
}

void TfrmInitConfig::FormCreate() {
  const TIniFile file = config::File();
  edt_TranServer->setText(
      QString::fromStdString(file.ReadString(config::kSection, config::kServerName, config::kDefaultServerName)));
  // The same entry as "Port": key names match without regard to case.
  edt_Port->setText(QString::number(file.ReadInteger(config::kSection, "port", config::kDefaultPort)));
}

void TfrmInitConfig::Button1Click() {
  const TIniFile file = config::File();
  file.WriteString(config::kSection, config::kServerName, Trim(edt_TranServer->text().toStdString()));
  file.WriteInteger(config::kSection, config::kPort,
                    StrToIntDef(Trim(edt_Port->text().toStdString()), config::kDefaultPort));
  SetModalResult(mrOk);
}
