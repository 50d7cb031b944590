// The model's texts, colours and pictures as Qt takes them.
#pragma once

#include <QtCore/QString>
#include <QtGui/QColor>
#include <QtGui/QImage>

#include <string>

#include "picture.h"
#include "ui/controls.h"

namespace fw {

// The program's texts are UTF-8.
QString ToQString(const std::string& text);
QColor ToQColor(Color color);
// The picture's pixels as Qt draws them (a copy); a null image for nullptr.
QImage ToQImage(const Picture* picture);

}  // namespace fw
