// The verdicts of one session: each check prints one line, and the session
// passes only when every check held.
#pragma once

#include <string>

namespace winhost {

class CheckReport {
public:
    explicit CheckReport(std::string session) : session_(std::move(session)) {}

    // Prints "ok" or "FAIL" with what was checked; returns the condition.
    bool Expect(bool condition, const std::string& what);
    // Compares two texts and shows both when they differ.
    bool ExpectText(const std::string& actual, const std::string& expected,
                    const std::string& what);
    void Note(const std::string& text) const;

    int Failures() const { return failures_; }
    // Prints the session's closing line; 0 when every check held, else 1.
    int Finish() const;

private:
    std::string session_;
    int checks_ = 0;
    int failures_ = 0;
};

}  // namespace winhost
