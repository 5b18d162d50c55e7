// What the command line asks of the operating system.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "cli/platform.h"

namespace pelvane::cli {
namespace {

// On Windows the console's output code page decides, not the environment.
#ifndef _WIN32
// Sets the three locale variables for its lifetime; nullptr unsets one.
class LocaleEnvironment {
  public:
    LocaleEnvironment(const char* all, const char* ctype, const char* lang) {
        const char* values[] = {all, ctype, lang};
        for (size_t i = 0; i < std::size(kNames); ++i) {
            if (const char* saved = std::getenv(kNames[i])) saved_[i] = saved;
            values[i] ? setenv(kNames[i], values[i], 1) : unsetenv(kNames[i]);
        }
    }
    ~LocaleEnvironment() {
        for (size_t i = 0; i < std::size(kNames); ++i)
            saved_[i] ? setenv(kNames[i], saved_[i]->c_str(), 1) : unsetenv(kNames[i]);
    }

  private:
    static constexpr const char* kNames[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    std::optional<std::string> saved_[3];
};

TEST(OutputIsUtf8, TheFirstLocaleVariableSetDecides) {
    struct Case {
        const char *all, *ctype, *lang;
        bool utf8;
    };
    const Case cases[] = {
        {nullptr, nullptr, "en_US.UTF-8", true}, {"C", nullptr, "en_US.UTF-8", false},
        {"", "de_DE.utf8", "C", true},           {nullptr, "POSIX", "en_US.UTF-8", false},
        {nullptr, nullptr, "zh_CN.Utf-8", true}, {nullptr, nullptr, "zh_CN.GBK", false},
        {nullptr, nullptr, nullptr, false},
    };
    for (const Case& c : cases) {
        const LocaleEnvironment environment(c.all, c.ctype, c.lang);
        EXPECT_EQ(OutputIsUtf8(), c.utf8)
            << (c.all ? c.all : "-") << " " << (c.ctype ? c.ctype : "-") << " "
            << (c.lang ? c.lang : "-");
    }
}
#endif

}  // namespace
}  // namespace pelvane::cli
