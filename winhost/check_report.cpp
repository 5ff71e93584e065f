#include "winhost/check_report.h"

#include <cstdio>

namespace winhost {

bool CheckReport::Expect(bool condition, const std::string& what) {
    ++checks_;
    if (!condition) ++failures_;
    std::printf("%s  %s\n", condition ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    return condition;
}

bool CheckReport::ExpectText(const std::string& actual, const std::string& expected,
                             const std::string& what) {
    const bool same = actual == expected;
    Expect(same, what + ": \"" + expected + "\"");
    if (!same) std::printf("      got \"%s\"\n", actual.c_str());
    return same;
}

void CheckReport::Note(const std::string& text) const {
    std::printf("      %s\n", text.c_str());
}

int CheckReport::Finish() const {
    std::printf("%s: %d passed, %d failed\n", session_.c_str(), checks_ - failures_, failures_);
    std::fflush(stdout);
    return failures_ == 0 && checks_ > 0 ? 0 : 1;
}

}  // namespace winhost
