// Conversions between the program's values and Qt's: terminated UTF-8 texts and 0xRRGGBB colours.
#include <algorithm>
#include <cstring>

#include "gui/runtime/runtime.h"

QString Text(const char *text) {
    return QString::fromUtf8(text ? text : "");
}

int CopyText(const QString &text, char *out, std::size_t size) {
    if (!out || size == 0) return UIE_BAD_VALUE;
    const QByteArray bytes = text.toUtf8();
    std::size_t n = std::min(static_cast<std::size_t>(bytes.size()), size - 1);
    // Cut before a continuation byte, so that the buffer never ends in half a character.
    while (n > 0 && n < static_cast<std::size_t>(bytes.size()) && (bytes[n] & 0xC0) == 0x80) --n;
    std::memcpy(out, bytes.constData(), n);
    out[n] = '\0';
    return 0;
}

QColor Rgb(int color) {
    return QColor::fromRgb(static_cast<QRgb>(color & 0xFFFFFF));
}

int RgbOf(const QColor &color) {
    return static_cast<int>(color.rgb() & 0xFFFFFF);
}
