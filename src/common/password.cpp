#include "common/password.h"
#include <QByteArray>

namespace qm {
QString EncodePassword(const QString& text)
{
    // Passwords are typed digits; other characters go byte by byte as Latin-1.
    QByteArray in = text.toLatin1();
    QString out;
    for (int n = 0; n < in.size(); ++n) {
        qint64 i = n + 1;
        qint64 k = (i * i * i * i) % (i + 30) + (i * i) % (i + 20) + 3 * i + 1;
        unsigned char c = static_cast<unsigned char>((static_cast<unsigned char>(in[n]) + k) & 0xFF);
        QChar ch = QChar::fromLatin1(char(c));
        out += ch;
        out += ch;
    }
    return out;
}
}
