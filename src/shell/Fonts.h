// The font names the windows were designed with ("宋体", "黑体", "MS Sans Serif") mapped to
// fonts that a Linux machine has, and fonts built from a name and a pixel size.
#pragma once

#include <QFont>
#include <QString>

// Registers the substitutes with Qt; call once after the application object exists.
void InstallFontSubstitutes();

struct TFontStyle {
  bool Bold = false;
  bool Underline = false;
};

QFont PixelFont(const QString& family, int pixelSize, TFontStyle style = {});
