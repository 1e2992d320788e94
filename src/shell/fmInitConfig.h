// TfrmInitConfig, the connection-settings window: shows the configured address and port of
// the database service and saves a correction. The connect sequence shows it modally after a
// failed connect; mrOk means the values were saved, mrCancel (close box) that nothing was.
#pragma once

#include "shell/Form.h"
#include "ui_fmInitConfig.h"

class TfrmInitConfig : public TForm, public Ui::TfrmInitConfig {
 public:
  explicit TfrmInitConfig(QWidget* owner = nullptr);

  void Button1Click();

 protected:
  void FormCreate() override;
};
