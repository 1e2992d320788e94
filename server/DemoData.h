// The demo tables: T_Pm_User with a few users, and ReportType holding a tree of report types
// three levels deep. Creating them again resets them.
#pragma once

#include "SqlBackend.h"

namespace server {

void InitDemoData(TSqlBackend& backend);

}  // namespace server
