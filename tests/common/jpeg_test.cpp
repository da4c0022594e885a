#include "common/jpeg.h"
#include <gtest/gtest.h>
#include <QBuffer>
#include <QImage>
#include <QPainter>

namespace {
QByteArray sampleJpeg()
{
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(QColor(200, 30, 30));
    QPainter(&img).fillRect(20, 0, 20, 30, QColor(20, 40, 220));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG", 95);
    return bytes;
}
}

TEST(Jpeg, DecodesPicturesAndRejectsDamagedDataWithoutEnding)
{
    QByteArray good = sampleJpeg();
    ASSERT_FALSE(good.isEmpty());
    QImage img = qm::decodeJpeg(good);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(40, 30));
    QColor left = img.pixelColor(5, 15), right = img.pixelColor(35, 15);
    EXPECT_GT(left.red(), 150);
    EXPECT_LT(left.blue(), 80);
    EXPECT_GT(right.blue(), 150);

    // Damaged or foreign data: a null image, and the program carries on.
    EXPECT_TRUE(qm::decodeJpeg(good.left(good.size() / 3).append(QByteArray(64, 'x')).left(20)).isNull());
    EXPECT_TRUE(qm::decodeJpeg(QByteArray("GIF89a not a jpeg at all")).isNull());
    EXPECT_TRUE(qm::decodeJpeg(QByteArray()).isNull());
    EXPECT_TRUE(qm::loadJpeg("/nonexistent/picture.jpg").isNull());
}
