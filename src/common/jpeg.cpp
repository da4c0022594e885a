#include "common/jpeg.h"
#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace qm {
namespace {
// libjpeg's default error exit ends the process; ours jumps back instead.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void errorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void quietMessage(j_common_ptr) {}

// Everything touched after setjmp lives in this struct so that no local is
// left indeterminate by the jump.
struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    QImage image;
};

bool run(Decoder& d, const QByteArray& data)
{
    d.cinfo.err = jpeg_std_error(&d.err.pub);
    d.err.pub.error_exit = errorExit;
    d.err.pub.output_message = quietMessage;
    if (setjmp(d.err.jump)) {
        jpeg_destroy_decompress(&d.cinfo);
        return false;
    }
    jpeg_create_decompress(&d.cinfo);
    jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&d.cinfo, TRUE);
    d.cinfo.out_color_space = JCS_RGB; // grey and YCbCr pictures alike
    jpeg_start_decompress(&d.cinfo);
    const int w = int(d.cinfo.output_width), h = int(d.cinfo.output_height);
    if (d.cinfo.output_components != 3 || w <= 0 || h <= 0) {
        jpeg_destroy_decompress(&d.cinfo);
        return false;
    }
    d.image = QImage(w, h, QImage::Format_RGB888);
    if (d.image.isNull()) {
        jpeg_destroy_decompress(&d.cinfo);
        return false;
    }
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        JSAMPROW row = d.image.scanLine(int(d.cinfo.output_scanline));
        jpeg_read_scanlines(&d.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&d.cinfo);
    jpeg_destroy_decompress(&d.cinfo);
    return true;
}
}

QImage decodeJpeg(const QByteArray& data)
{
    if (data.size() < 4) return QImage();
    Decoder d{};
    if (!run(d, data)) return QImage();
    return d.image;
}

QImage loadJpeg(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QImage();
    return decodeJpeg(f.readAll());
}

QImage loadPicture(const QString& path)
{
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly)) return QImage();
    const QByteArray data = f.readAll();
    QImage img = data.startsWith("\xFF\xD8") ? decodeJpeg(data) : QImage();
    if (img.isNull()) img = QImage::fromData(data);
    return img;
}
}
