#include "shell/untMain.h"

#include <QToolButton>

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QShowEvent>

#include "local/untFunctions.h"
#include "platform/Exceptions.h"
#include "remote/UntRemSql.h"
#include "shell/Application.h"
#include "shell/Artwork.h"
#include "shell/Fonts.h"
#include "shell/fmLogin.h"

namespace {

struct TMenuLayout {
  const char* Name;
  const char* Title;
  std::vector<const char*> Items;  // action names; "-" starts a new group
};

// Menus of the layout that no bar, button or control shows.
const std::vector<TMenuLayout>& UnattachedMenus() {
  static const std::vector<TMenuLayout> menus = {
      {"dxbrpmn1", "", {"dxbrlrgbtn1", "exportExcel", "ExportTEXT"}},
      {"dxbrpmn2", "", {"dxbrlrgbtn1", "dxBarButton12", "dxbrlrgbtnKExport"}},
      {"dxBar4", "", {"FormatSet"}},
      {"dxBar3", "", {}},
      {"DxBar5", "", {}},
      {"TreePm", "", {"FindName", "N4", "-", "ExitPM"}},
      {"dxBarSubItem2", "操作(&P)", {"dxBarButton8", "-", "dxBarButton9", "dxBarButton10"}},
      {"dxBarSubItem3", "工具(&T)", {"dxBarButton12"}},
      {"dxBarSubItem4", "帮助(&H)", {}},
      {"dxBarSubItem6", "报表设计", {}},
      {"dxBarSubItem5", "New SubItem", {}},
      {"dxBarSubItem8", "New SubItem", {}},
      {"dxBarSubItem9", "New SubItem", {}},
      {"dxBarSubItem10", "New SubItem", {}},
  };
  return menus;
}

}  // namespace

const TDBTreeLayout& Tfrm_main::ReportTreeLayout() {
  static const TDBTreeLayout layout{
      "TREEID",
      "FPARENTID",
      "-1",
      "FIMGAGEINDEX",
      "REPORTTYPENAME",
      {"ID", "TREEID", "FNUMBER", "REPORTTYPENAME", "FPARENTID", "FISROOT", "FIMGAGEINDEX", "FSELECTIMGAGEINDEX",
       "FISSYSTEM", "FLEVEL", "FVISIBLE", "FTABLENAME", "FCREATORID", "FLASTUPDATEUSERID", "FLONGNUMBER"}};
  return layout;
}

Tfrm_main::Tfrm_main() {
  setupUi(this);
  qryReportType.Name = "qryReportType";
  resize(870, 659);
  move(414, 56);
  setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));

  const auto& barImages = artwork::BarImages();
  dxbrmngr1Bar1->setIconSize(QSize(16, 16));
  dxbrlrgbtnEduce->setIcon(barImages[0]);
  dxbrlrgbtnPrintSet->setIcon(barImages[1]);
  dxbrlrgbtnExitEdit->setIcon(barImages[2]);
  for (QAction* dropDown : {dxbrlrgbtnEduce, dxbrlrgbtnPrintSet}) {
    if (auto* button = qobject_cast<QToolButton*>(dxbrmngr1Bar1->widgetForAction(dropDown))) {
      button->setPopupMode(QToolButton::MenuButtonPopup);
    }
  }
  BuildPopupMenus();

  ReportTree->setModel(&dsType);
  ReportTree->setFont(PixelFont(QStringLiteral("宋体"), 13));
  ReportTree->setSelectionMode(QAbstractItemView::SingleSelection);
  ReportTree->header()->setSectionResizeMode(QHeaderView::Stretch);
  dsType.setColumnCount(static_cast<int>(ReportTreeLayout().Columns.size()));
  ShowReportTypes();

  mainImg->setPixmap(artwork::HomePicture());
  mainPg->setCurrentIndex(0);
  mainPg->OnCanClose = [this](bool& canClose) { mainPgCanClose(canClose); };
  mainPg->OnDblClick = [this] { Application->Guard([this] { mainPgDblClick(); }); };

  connect(dxbrlrgbtnExitEdit, &QAction::triggered, this,
          [this] { Application->Guard([this] { dxbrlrgbtnExitEditClick(); }); });
  connect(dxBarButton6, &QAction::triggered, this, [this] { Application->Guard([this] { dxBarButton6Click(); }); });

  Application->Guard([this] { FormCreate(); });
}

Tfrm_main::~Tfrm_main() = default;

void Tfrm_main::BuildPopupMenus() {
  for (const TMenuLayout& layout : UnattachedMenus()) {
    auto* menu = new QMenu(QString::fromUtf8(layout.Title), this);
    menu->setObjectName(QString::fromUtf8(layout.Name));
    for (const char* item : layout.Items) {
      if (std::string_view(item) == "-") {
        menu->addSeparator();
      } else if (auto* action = findChild<QAction*>(QString::fromUtf8(item))) {
        menu->addAction(action);
      }
    }
    PopupMenus.push_back(menu);
  }
}

void Tfrm_main::FormCreate() {
  if (!ShowLoginDialog()) {
    Application->Terminate();
    Abort();
  }
  qryOpt = DBMrg->GetQuery("Qryopt");
  qryShow = DBMrg->GetQuery("qry_show");
}

void Tfrm_main::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) Application->Guard([this] { FormShow(); });
}

void Tfrm_main::FormShow() {
  {
    TBusyCursor busy;
    RmoHelper->OpenTable("ReportType", qryReportType);
  }
  ShowReportTypes();
}

void Tfrm_main::ShowReportTypes() {
  FillTreeModel(dsType, qryReportType, ReportTreeLayout(), artwork::TreeImages());
  const int display = ReportTreeLayout().DisplayColumn();
  for (int column = 0; column < dsType.columnCount(); ++column) ReportTree->setColumnHidden(column, column != display);
  ReportTree->setTreePosition(display);
}

void Tfrm_main::mainPgCanClose(bool& canClose) {
  if (mainPg->currentIndex() == 0) canClose = false;
}

void Tfrm_main::mainPgDblClick() {
  const int active = mainPg->currentIndex();
  if (active != 0 && active != -1) delete mainPg->currentWidget();
}

void Tfrm_main::dxbrlrgbtnExitEditClick() { close(); }

void Tfrm_main::dxBarButton6Click() { close(); }
