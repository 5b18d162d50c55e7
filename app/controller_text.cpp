#include "controller_text.h"

#include <QStringEncoder>
#include <cstring>

#include "gbk_text.h"

namespace pelvane {

namespace {
constexpr const char* kControllerEncoding = "GBK";
}

QString DecodeControllerField(const char* field, size_t fieldSize) {
    return FromGbk(std::string_view(field, strnlen(field, fieldSize)));
}

std::string AddressForOpen(const QString& typed) {
    QStringEncoder encoder(kControllerEncoding);
    const QByteArray bytes =
        encoder.isValid() ? QByteArray(encoder.encode(typed)) : typed.toLatin1();
    size_t length = 0;
    while (length < static_cast<size_t>(bytes.size())) {
        // GBK lead bytes start a two-byte character.
        const size_t step =
            static_cast<unsigned char>(bytes[static_cast<qsizetype>(length)]) >= 0x81 ? 2 : 1;
        if (length + step > kMaxAddressLength) break;
        length += step;
    }
    return std::string(bytes.constData(), std::min(length, static_cast<size_t>(bytes.size())));
}

QString FormatIdentityLine(const QString& model, const QString& version, const QString& id) {
    // One pass over the pattern, so a "%1" inside a field stays as it is.
    return QStringLiteral("软件型号：%1  软件版本：%2  控制器ID：%3").arg(model, version, id);
}

}  // namespace pelvane
