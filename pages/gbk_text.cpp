#include "gbk_text.h"

#include "gbk.h"

namespace pelvane {

QString FromGbk(std::string_view text) {
    return QString::fromStdString(GbkToUtf8(text));
}

}  // namespace pelvane
