// A few checks for the test programs of the 32-bit Windows build, which has no GoogleTest.
// Each failed check prints where and what, and the program's exit status counts them.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstring>

namespace check {

inline int &failures() {
    static int count = 0;
    return count;
}

inline int &total() {
    static int count = 0;
    return count;
}

inline void fail(const char *file, int line, const char *what) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    ++failures();
}

// The closing line that CTest logs and a reader can count.
inline int finish() {
    std::printf("%d passed, %d failed\n", total() - failures(), failures());
    return failures() == 0 ? 0 : 1;
}

}  // namespace check

#define CHECK(cond)                                            \
    do {                                                       \
        ++::check::total();                                    \
        if (!(cond)) ::check::fail(__FILE__, __LINE__, #cond); \
    } while (0)

#define CHECK_EQ_STR(a, b)                                          \
    do {                                                            \
        ++::check::total();                                         \
        if (std::strcmp((a), (b)) != 0) {                           \
            std::fprintf(stderr, "  \"%s\" != \"%s\"\n", (a), (b)); \
            ::check::fail(__FILE__, __LINE__, #a " == " #b);        \
        }                                                           \
    } while (0)

#define CHECK_NEAR(a, b, tol)                                                     \
    do {                                                                          \
        ++::check::total();                                                       \
        if (!(std::fabs((a) - (b)) <= (tol))) {                                   \
            std::fprintf(stderr, "  %.17g vs %.17g\n", (double)(a), (double)(b)); \
            ::check::fail(__FILE__, __LINE__, #a " ~ " #b);                       \
        }                                                                         \
    } while (0)
