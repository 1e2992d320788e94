// Tfrm_main, the main window: its creation runs the login dialog (no login, no program); once
// shown it loads the server's ReportType table and shows it as a tree of report types beside a
// page control whose home page never closes. Of the menu and toolbar commands only the two exit
// commands act; the popup menus and the items placed on no bar belong to the window unused.
#pragma once

#include <QMainWindow>
#include <QStandardItemModel>
#include <memory>
#include <vector>

#include "data/DataSet.h"
#include "shell/DBTree.h"
#include "ui_untMain.h"

class QMenu;

class Tfrm_main : public QMainWindow, public Ui::Tfrm_main {
 public:
  Tfrm_main();
  ~Tfrm_main() override;

  void mainPgCanClose(bool& canClose);
  void mainPgDblClick();
  void dxbrlrgbtnExitEditClick();
  void dxBarButton6Click();

  // Filled by the facade only; the tree shows what it holds.
  TADOQuery qryReportType;
  // The tree's model over qryReportType.
  QStandardItemModel dsType;
  // The row of table ReportType as the window declares it: the tree's columns, in order.
  static const TDBTreeLayout& ReportTreeLayout();
  // The popup menus of the layout, attached to nothing: dxbrpmn1, dxbrpmn2, dxBar4, dxBar3,
  // DxBar5, TreePm, and the unplaced sub-items.
  std::vector<QMenu*> PopupMenus;

 protected:
  void FormCreate();
  void FormShow();
  void showEvent(QShowEvent* event) override;

 private:
  void BuildPopupMenus();
  void ShowReportTypes();

  TADOQuery* qryShow = nullptr;
  TADOQuery* qryOpt = nullptr;
};
