// The program's pictures, drawn in code the first time they are asked for: the login
// background, the two button faces, the home page picture and the two image lists.
#pragma once

#include <QPixmap>
#include <QString>
#include <vector>

namespace artwork {

constexpr int kTreeImageCount = 124;  // ImageList16, indexed by a report type's picture number
constexpr int kBarImageCount = 57;    // ilimage, the bar manager's pictures

QPixmap LoginBackground();                 // 633 x 417
QPixmap ButtonFace(const QString& word);   // 79 x 21, the word centred on a raised face
QPixmap HomePicture();                     // the home page's picture
const std::vector<QPixmap>& TreeImages();  // 16 x 16 each
const std::vector<QPixmap>& BarImages();   // 16 x 16 each

}  // namespace artwork
