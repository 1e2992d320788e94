#include "shell/Form.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QShowEvent>

#include "shell/Application.h"

TForm::TForm(QWidget* parent) : QDialog(parent) {}

void TForm::DoCreate() {
  Application->Guard([this] { FormCreate(); });
}

int TForm::ShowModal() {
  FModalResult = mrNone;
  setWindowModality(Qt::ApplicationModal);
  FInModalLoop = true;
  show();
  const int result = Application->RunModalLoop(*this, [this] { return FModalResult; });
  FInModalLoop = false;
  FModalResult = result;
  return result;
}

void TForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) Application->Guard([this] { FormShow(); });
}

void TForm::closeEvent(QCloseEvent* event) {
  if (FInModalLoop) {
    // A modal window is hidden by its loop once it has a result.
    if (FModalResult == mrNone) FModalResult = mrCancel;
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TForm::keyPressEvent(QKeyEvent* event) {
  // QDialog closes on Escape and clicks a default button on Enter; these windows do neither.
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->ignore();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TForm::reject() {
  if (FInModalLoop && FModalResult == mrNone) FModalResult = mrCancel;
}
