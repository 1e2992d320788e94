#include "shell/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "shell/Fonts.h"

namespace artwork {

namespace {

QColor Hue(int index, int count, int saturation = 170, int value = 210) {
  return QColor::fromHsv((index * 360 / count + index * 37) % 360, saturation, value);
}

// A small picture of one of four shapes in a colour: folder, sheet, chart, gear-like disc.
QPixmap SmallPicture(int index, int count) {
  QPixmap picture(16, 16);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor colour = Hue(index, count);
  painter.setPen(QPen(colour.darker(160), 1));
  painter.setBrush(colour);
  switch (index % 4) {
    case 0: {  // folder
      QPainterPath path;
      path.moveTo(1.5, 4.5);
      path.lineTo(6.5, 4.5);
      path.lineTo(8, 6);
      path.lineTo(14.5, 6);
      path.lineTo(14.5, 13.5);
      path.lineTo(1.5, 13.5);
      path.closeSubpath();
      painter.drawPath(path);
      break;
    }
    case 1:  // sheet with lines
      painter.setBrush(Qt::white);
      painter.drawRect(QRectF(3.5, 1.5, 9, 13));
      painter.setPen(QPen(colour, 1));
      for (int y = 5; y <= 11; y += 3) painter.drawLine(5, y, 11, y);
      break;
    case 2:  // bar chart
      painter.drawRect(QRectF(2.5, 8.5, 3, 6));
      painter.drawRect(QRectF(6.5, 4.5, 3, 10));
      painter.drawRect(QRectF(10.5, 1.5, 3, 13));
      break;
    default:  // disc with a mark
      painter.drawEllipse(QRectF(2, 2, 12, 12));
      painter.setPen(QPen(Qt::white, 2));
      painter.drawLine(8, 5, 8, 11);
      break;
  }
  return picture;
}

std::vector<QPixmap> SmallPictures(int count) {
  std::vector<QPixmap> pictures;
  pictures.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) pictures.push_back(SmallPicture(i, count));
  return pictures;
}

}  // namespace

QPixmap LoginBackground() {
  QPixmap picture(633, 417);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, 417);
  sky.setColorAt(0, QColor(18, 52, 110));
  sky.setColorAt(0.55, QColor(38, 104, 170));
  sky.setColorAt(1, QColor(196, 222, 244));
  painter.fillRect(picture.rect(), sky);
  // Soft hills and a light panel behind the login fields.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255, 28));
  painter.drawEllipse(QPointF(120, 470), 420, 170);
  painter.setBrush(QColor(255, 255, 255, 40));
  painter.drawEllipse(QPointF(560, 500), 380, 200);
  painter.setBrush(QColor(255, 255, 255, 210));
  painter.drawRoundedRect(QRectF(232, 140, 300, 160), 10, 10);
  painter.setPen(QPen(QColor(255, 255, 255, 120), 1));
  for (int x = 0; x < 633; x += 24) painter.drawLine(x, 120, x + 60, 0);
  return picture;
}

QPixmap ButtonFace(const QString& word) {
  QPixmap face(79, 21);
  QPainter painter(&face);
  QLinearGradient fill(0, 0, 0, 21);
  fill.setColorAt(0, QColor(252, 252, 252));
  fill.setColorAt(1, QColor(200, 214, 232));
  painter.fillRect(face.rect(), fill);
  painter.setPen(QColor(92, 120, 160));
  painter.drawRect(face.rect().adjusted(0, 0, -1, -1));
  painter.setPen(QColor(20, 40, 80));
  painter.setFont(PixelFont(QStringLiteral("宋体"), 13));
  painter.drawText(face.rect(), Qt::AlignCenter, word);
  return face;
}

QPixmap HomePicture() {
  QPixmap picture(640, 400);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  QRadialGradient glow(320, 180, 300);
  glow.setColorAt(0, QColor(226, 238, 252));
  glow.setColorAt(1, QColor(226, 238, 252, 0));
  painter.setPen(Qt::NoPen);
  painter.setBrush(glow);
  painter.drawEllipse(QPointF(320, 180), 300, 200);
  // A bar chart with a trend line: what the program is about.
  for (int i = 0; i < 7; ++i) {
    const int height = 40 + ((i * 53) % 120);
    painter.setBrush(Hue(i, 7, 120, 230));
    painter.drawRoundedRect(QRectF(170 + i * 44, 280 - height, 30, height), 3, 3);
  }
  painter.setPen(QPen(QColor(30, 70, 140), 3));
  painter.drawPolyline(QPolygonF({QPointF(185, 230), QPointF(273, 190), QPointF(361, 205), QPointF(449, 140)}));
  painter.setPen(QColor(30, 60, 110));
  painter.setFont(PixelFont(QStringLiteral("黑体"), 30, {.Bold = true}));
  painter.drawText(QRectF(0, 300, 640, 50), Qt::AlignCenter, QStringLiteral("zuzavezu 报表分析平台"));
  return picture;
}

const std::vector<QPixmap>& TreeImages() {
  static const std::vector<QPixmap> images = SmallPictures(kTreeImageCount);
  return images;
}

const std::vector<QPixmap>& BarImages() {
  static const std::vector<QPixmap> images = SmallPictures(kBarImageCount);
  return images;
}

}  // namespace artwork
