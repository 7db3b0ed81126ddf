// Text where the window meets Qt: inside the program every string is CP932
// bytes, Qt wants UTF-16. These two helpers are the only crossing.
#pragma once

#include <QString>
#include <string>

#include "platform/Encoding.h"

// CP932 -> QString; bytes that do not convert show as U+FFFD.
inline QString Q(const std::string& cp932) {
    const std::string utf8 = platform::Cp932ToUtf8(cp932);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// QString -> CP932; characters without a CP932 form become <U+XXXX>.
inline std::string FromQ(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return platform::Utf8ToCp932(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}
