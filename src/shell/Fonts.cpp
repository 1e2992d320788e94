#include "shell/Fonts.h"

#include <QStringList>

void InstallFontSubstitutes() {
  // A Ming face for the serif Song, WenQuanYi for the sans Hei; both carry Chinese glyphs, so
  // the Western window font falls back to them for Chinese captions.
  QFont::insertSubstitutions(QStringLiteral("宋体"),
                             {QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei")});
  QFont::insertSubstitutions(QStringLiteral("黑体"), {QStringLiteral("WenQuanYi Micro Hei")});
  QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                             {QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei")});
}

QFont PixelFont(const QString& family, int pixelSize, TFontStyle style) {
  QFont font(family);
  font.setPixelSize(pixelSize);
  font.setBold(style.Bold);
  font.setUnderline(style.Underline);
  return font;
}
