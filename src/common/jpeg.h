#pragma once
// Pictures (navigator, splash, background): JPEG decoded by libjpeg into a
// QImage. A damaged or missing file gives a null image, never an exit.
#include <QByteArray>
#include <QImage>
#include <QString>

namespace qm {
QImage decodeJpeg(const QByteArray& data);
QImage loadJpeg(const QString& path);
// Any picture file: JPEG by libjpeg, other formats by Qt; null when unreadable.
QImage loadPicture(const QString& path);
}
