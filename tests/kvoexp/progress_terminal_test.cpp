// kvoexp on a pseudo-terminal 40 columns wide: every line it draws to be
// overwritten, the importing line and the progress line, stays inside the
// width and never shows the dialog's placeholder texts.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "cli/program/progress_line.h"
#include "tests/cli/cli_test_support.h"

namespace {

// Runs kvoexp with its output on a terminal of `columns`; returns what it drew.
std::string RunOnTerminal(const std::vector<std::string>& args, unsigned short columns,
                          int& status) {
    winsize size{};
    size.ws_col = columns;
    size.ws_row = 24;
    int master = -1;
    const std::string program = clitest::KvoexpBinary();
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0) {
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    std::string drawn;
    if (pid < 0) return drawn;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // EIO once the child has closed the terminal
        drawn.append(buffer, static_cast<size_t>(n));
    }
    close(master);
    waitpid(pid, &status, 0);
    return drawn;
}

// The lines drawn to be overwritten: those ended by a carriage return, after
// "erase line" is removed and the terminal's "\r\n" for "\n" undone. Lines
// ended by a line feed are ordinary output, which may wrap.
std::vector<std::string> RedrawnLines(std::string text) {
    for (size_t at; (at = text.find("\033[K")) != std::string::npos;) text.erase(at, 3);
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    std::vector<std::string> lines;
    std::string piece;
    for (char c : text) {
        if (c == '\r') lines.push_back(piece);
        if (c == '\r' || c == '\n') {
            piece.clear();
        } else {
            piece.push_back(c);
        }
    }
    return lines;
}

TEST(ProgressTerminal, LinesFitANarrowTerminal) {
    if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
    clitest::ScratchDir scratch("progress_terminal");
    const std::string obj = scratch.Path("a_scene_file_with_a_rather_long_name.obj");
    // Long names with two-byte characters, large enough for a progress line or two.
    clitest::WriteBigObj(obj, 3, 300,
                         "Gr\xc3\xbcnfl\xc3\xa4"
                         "che-mit-einem-langen-Namen-");
    int status = -1;
    const std::string drawn = RunOnTerminal({obj, "-o", scratch.Sub("out")}, 40, status);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << drawn;
    bool importing = false;
    for (const std::string& line : RedrawnLines(drawn)) {
        EXPECT_LT(kvocli::DisplayWidth(line), 40u) << line;
        EXPECT_EQ(line.find("<overall progress>"), std::string::npos) << line;
        EXPECT_EQ(line.find("<export status>"), std::string::npos) << line;
        importing = importing || line.rfind("importing ", 0) == 0;
    }
    EXPECT_TRUE(importing) << drawn;
}

}  // namespace
