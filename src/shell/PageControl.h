// TPageControl: a tabbed page control with a close button for the active page and a button
// that lists every page, both beside the tabs. The close button asks OnCanClose first (preset
// true) and then frees the active page; a double click on the tabs or the control's free area
// reports OnDblClick. Pages do not pass their own mouse clicks on to the control.
#pragma once

#include <QTabWidget>

#include <functional>

class QToolButton;

class TPageControl : public QTabWidget {
 public:
  explicit TPageControl(QWidget* parent = nullptr);

  std::function<void(bool& canClose)> OnCanClose;
  std::function<void()> OnDblClick;

  // What the close button does: asks OnCanClose, then frees the active page when allowed.
  void CloseActivePage();
  QToolButton* CloseButton() const { return FCloseButton; }
  QToolButton* PageListButton() const { return FPageListButton; }

 protected:
  void tabInserted(int index) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowPageList();

  QToolButton* FCloseButton;
  QToolButton* FPageListButton;
};
