#include "shell/PageControl.h"

#include <QTabBar>
#include <QToolButton>

#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>

#include "shell/Application.h"

TPageControl::TPageControl(QWidget* parent)
    : QTabWidget(parent), FCloseButton(new QToolButton), FPageListButton(new QToolButton) {
  FPageListButton->setObjectName(QStringLiteral("PageListButton"));
  FPageListButton->setArrowType(Qt::DownArrow);
  FPageListButton->setAutoRaise(true);
  FPageListButton->setToolTip(QStringLiteral("所有页面"));
  FCloseButton->setObjectName(QStringLiteral("CloseButton"));
  FCloseButton->setText(QStringLiteral("×"));
  FCloseButton->setAutoRaise(true);
  auto* corner = new QWidget(this);
  auto* layout = new QHBoxLayout(corner);
  layout->setContentsMargins(0, 0, 2, 0);
  layout->setSpacing(0);
  layout->addWidget(FPageListButton);
  layout->addWidget(FCloseButton);
  setCornerWidget(corner, Qt::TopRightCorner);
  setDocumentMode(false);
  tabBar()->installEventFilter(this);

  connect(FPageListButton, &QToolButton::clicked, this, [this] { Application->Guard([this] { ShowPageList(); }); });
  connect(FCloseButton, &QToolButton::clicked, this, [this] { Application->Guard([this] { CloseActivePage(); }); });
  connect(this, &QTabWidget::currentChanged, this, [this](int index) { FCloseButton->setEnabled(index >= 0); });
}

void TPageControl::CloseActivePage() {
  QWidget* page = currentWidget();
  if (page == nullptr) return;
  bool canClose = true;
  if (OnCanClose) OnCanClose(canClose);
  if (canClose) delete page;
}

void TPageControl::ShowPageList() {
  QMenu list(this);
  for (int i = 0; i < count(); ++i) {
    QAction* entry = list.addAction(tabText(i));
    entry->setCheckable(true);
    entry->setChecked(i == currentIndex());
    connect(entry, &QAction::triggered, this, [this, i] { setCurrentIndex(i); });
  }
  list.exec(FPageListButton->mapToGlobal(QPoint(0, FPageListButton->height())));
}

void TPageControl::tabInserted(int index) {
  QTabWidget::tabInserted(index);
  widget(index)->setAttribute(Qt::WA_NoMousePropagation);
}

void TPageControl::mouseDoubleClickEvent(QMouseEvent* event) {
  if (OnDblClick) OnDblClick();
  event->accept();
}

bool TPageControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tabBar() && event->type() == QEvent::MouseButtonDblClick) {
    if (OnDblClick) OnDblClick();
    return true;
  }
  return QTabWidget::eventFilter(watched, event);
}
