#include "frontends/qt/qt_conversions.h"

#include <span>

namespace fw {

QString ToQString(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QColor ToQColor(Color color) { return QColor(color.red, color.green, color.blue); }

QImage ToQImage(const Picture* picture) {
  if (picture == nullptr) return {};
  const std::span<const uint8_t> pixels = picture->Pixels();
  const QImage borrowed(pixels.data(), static_cast<int>(picture->Width()), static_cast<int>(picture->Height()),
                        static_cast<qsizetype>(picture->Stride()), QImage::Format_RGBA8888);
  return borrowed.copy();
}

}  // namespace fw
