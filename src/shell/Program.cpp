#include "shell/Program.h"

#include "shell/fmInitConfig.h"
#include "shell/fmLogin.h"
#include "shell/untMain.h"

void RunProgram(TApplication& application) {
  application.CreateForm<Tfrm_main>();
  application.CreateForm<TfrmLogin>();
  application.CreateForm<TfrmInitConfig>();
  application.Run();
}
