#pragma once
// Pinyin initials of Chinese text, for the mnemonic code of products.
// Each character is looked up by its GBK code among the first-level
// characters of GB2312, which are stored in pinyin order.
#include <QString>

namespace qm {
// The initial of the first character of `text`: an upper-case letter (lower
// case when `upper` is false) for a first-level GB2312 character; any other
// character (ASCII, second-level or beyond, punctuation, characters outside
// GBK) keeps itself. An empty text gives an empty result.
QString PinyinInitial(const QString& text, bool upper = true);
// One initial per character of `text`.
QString GetPinyinCode(const QString& text, bool upper = true);
// The letter of a two-byte GB2312 code (first byte * 256 + second byte), or
// 0 when the code lies outside the first-level ranges.
char pinyinLetterOfCode(int code);
}
