#pragma once
// JPEG pictures (navigator, splash, background) decoded by libjpeg into a
// QImage. A damaged or missing file gives a null image, never an exit.
#include <QByteArray>
#include <QImage>
#include <QString>

namespace qm {
QImage decodeJpeg(const QByteArray& data);
QImage loadJpeg(const QString& path);
}
