#pragma once

// The comma-decimal locales the tests run the programs under. scripts/test builds them; where they are
// missing a root run fails (so that CI never passes without them), any other run skips with the reason.

#include <gtest/gtest.h>
#include <locale.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace marlix::test {

inline bool LocaleInstalled(const std::string& name) {
    const locale_t locale = newlocale(LC_ALL_MASK, name.c_str(), locale_t{});
    if (locale == locale_t{}) return false;
    freelocale(locale);
    return true;
}

// The locale this process's environment names (LC_ALL, else LANG), "C" when none.
inline std::string EnvironmentLocaleName() {
    for (const char* variable : {"LC_ALL", "LANG"}) {
        if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') return value;
    }
    return "C";
}

}  // namespace marlix::test

// Ends the test when the C library lacks the locale: a failure as root, a skip otherwise.
#define MARLIX_REQUIRE_LOCALE(name)                                                                      \
    do {                                                                                                 \
        if (!::marlix::test::LocaleInstalled(name)) {                                                    \
            if (::geteuid() == 0)                                                                        \
                FAIL() << "locale " << (name) << " is not installed (scripts/test builds it)";           \
            GTEST_SKIP() << "locale " << (name) << " is not installed; as root, scripts/test builds it"; \
        }                                                                                                \
    } while (false)
