// A comma-decimal C library locale for the checks that numbers do not depend on the locale.
// scripts/test generates it and sets TRL4_REQUIRE_COMMA_LOCALE, so there a missing locale is a
// failure; run by hand on a machine without it, those checks are skipped with a message.
#pragma once

#include <clocale>
#include <cstdlib>
#include <string>

namespace trl4::test {

class CommaLocale {
  public:
    CommaLocale() {
        const char *current = std::setlocale(LC_ALL, nullptr);
        saved_ = current != nullptr ? current : "C";
        // The Linux name, then the Windows ones.
        for (const char *name : {"ru_RU.UTF-8", "Russian_Russia.1251", "ru-RU"}) {
            if (std::setlocale(LC_ALL, name) == nullptr) continue;
            const std::lconv *conv = std::localeconv();
            if (conv != nullptr && std::string(conv->decimal_point) == ",") {
                name_ = name;
                return;
            }
        }
        std::setlocale(LC_ALL, saved_.c_str());
    }
    ~CommaLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
    CommaLocale(const CommaLocale &) = delete;
    CommaLocale &operator=(const CommaLocale &) = delete;

    bool active() const { return !name_.empty(); }
    const std::string &name() const { return name_; }
    static bool required() { return std::getenv("TRL4_REQUIRE_COMMA_LOCALE") != nullptr; }
    static constexpr const char *kMissing =
        "no comma-decimal locale (ru_RU.UTF-8); generate it with "
        "'localedef -i ru_RU -f UTF-8 ru_RU.UTF-8'";

  private:
    std::string saved_;
    std::string name_;
};

}  // namespace trl4::test

// Puts the process under the comma-decimal locale for the rest of the test, or skips the test
// (fails it where the locale is required).
#define TRL4_UNDER_COMMA_LOCALE(var)                                                          \
    trl4::test::CommaLocale var;                                                              \
    if (!var.active()) {                                                                      \
        if (trl4::test::CommaLocale::required()) FAIL() << trl4::test::CommaLocale::kMissing; \
        GTEST_SKIP() << trl4::test::CommaLocale::kMissing;                                    \
    }
