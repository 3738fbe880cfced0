// A comma-decimal C library locale for the checks that numbers do not depend on the locale.
// scripts/test generates it and sets TRL4_REQUIRE_COMMA_LOCALE: there its absence fails the
// checks; run by hand on a machine without it, they are skipped.
#pragma once

#include <clocale>
#include <cstdlib>
#include <initializer_list>

namespace trl4::test {

// The comma-decimal locale while it lives (when the machine has one), then "C" again.
struct CommaLocale {
    static constexpr const char *kMissing =
        "no comma-decimal locale: localedef -i ru_RU -f UTF-8 ru_RU.UTF-8";
    CommaLocale() {
        for (const char *name : {"ru_RU.UTF-8", "Russian_Russia.1251"}) {  // Linux, Windows
            active = std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',';
            if (active) return;
        }
        std::setlocale(LC_ALL, "C");
    }
    ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
    static bool required() { return std::getenv("TRL4_REQUIRE_COMMA_LOCALE") != nullptr; }
    bool active = false;
};

}  // namespace trl4::test

#define TRL4_UNDER_COMMA_LOCALE(var)                                                          \
    const trl4::test::CommaLocale var;                                                        \
    if (!var.active) {                                                                        \
        if (trl4::test::CommaLocale::required()) FAIL() << trl4::test::CommaLocale::kMissing; \
        GTEST_SKIP() << trl4::test::CommaLocale::kMissing;                                    \
    }
