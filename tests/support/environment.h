// Environment variables, the time zone and scratch folders alike on POSIX and Windows.
#pragma once

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

namespace pelvane::testing {

// nullopt removes the variable; on Windows so does an empty value.
inline void SetEnvironment(const char* name, const std::optional<std::string>& value) {
#ifdef _WIN32
    _putenv_s(name, value ? value->c_str() : "");
#else
    value ? setenv(name, value->c_str(), 1) : unsetenv(name);
#endif
}

// After TZ changed.
inline void ReadTimeZone() {
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
}

// A new empty folder in the system's temporary folder.
inline std::filesystem::path MakeScratchFolder(const std::string& prefix) {
    std::random_device random;
    for (;;) {
        const auto path =
            std::filesystem::temp_directory_path() / (prefix + std::to_string(random()));
        if (std::filesystem::create_directory(path)) return path;
    }
}

}  // namespace pelvane::testing
