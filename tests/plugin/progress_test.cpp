// The progress dialog: percentages, budgets and labels, and its states and
// texts through whole scripted runs, with clicks dispatched by the host's
// message pump inside IsCancelled.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "plugin/resource.h"
#include "tests/plugin/plugin_test_support.h"

namespace {

INT_PTR CALLBACK PlainPage(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// theKVOExporter with a host interface, an About page as the owner and its
// hidden progress dialog, as a panel opening leaves them.
class Progress : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        plugin_test::RegisterResources();
        page = CreateDialogParamA(plugin_test::Module(), MAKEINTRESOURCEA(IDD_ABOUT),
                                  ip.PanelWindow(), PlainPage, 0);
        ASSERT_NE(page, nullptr);
        exporter.ip = &ip;
        exporter.CreateProgressDialog(page);
        dialog = exporter.hProgressDlg;
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override {
        exporter.DestroyProgressDialog();
        exporter.ip = nullptr;
        exporter.running = false;
        exporter.preparedNodes.clear();
        exporter.objectCount = exporter.objectsDone = 0;
        exporter.objectSteps = exporter.objectExtraSteps = exporter.objectStepsDone = 0;
        headless::Reset();
    }

    std::string Text(int id) const { return headless::Inspect(GetDlgItem(dialog, id)).text; }
    int Bar(int id) const { return headless::Inspect(GetDlgItem(dialog, id)).pos; }
    bool Visible() const { return IsWindowVisible(dialog) != FALSE; }
    void ClickButton() { SendMessageA(GetDlgItem(dialog, IDC_CANCEL_CLOSE), BM_CLICK, 0, 0); }

    // The whole visible state of the dialog in one line.
    std::string State() const {
        return (Visible() ? std::string("shown") : std::string("hidden")) + " | " +
               Text(IDC_EXPORT_STATUS) + " | " + Text(IDC_DETAILS) + " | " +
               Text(IDC_OVERALL_TEXT) + " | " + Text(IDC_CANCEL_CLOSE) + " | " +
               std::to_string(Bar(IDC_OBJECT_PROGRESS)) + " | " +
               std::to_string(Bar(IDC_OVERALL_PROGRESS));
    }

    KVOExporter& exporter = theKVOExporter;
    Interface ip;
    HWND page = nullptr;
    HWND dialog = nullptr;
};

TEST_F(Progress, CreatedHiddenRegisteredAndCentredOverItsOwner) {
    EXPECT_EQ(State(),
              "hidden | <export status> | <details> | <overall progress> | Cancel | 0 | 0");
    EXPECT_EQ(GetParent(dialog), page);
    ASSERT_EQ(ip.RegisteredDialogs().size(), 1u);
    EXPECT_EQ(ip.RegisteredDialogs()[0], dialog);
    RECT owner{}, own{};
    GetWindowRect(page, &owner);
    GetWindowRect(dialog, &own);
    // Same centre, to the unit that an odd difference of sizes leaves.
    EXPECT_LE(std::abs((own.left + own.right) - (owner.left + owner.right)), 1);
    EXPECT_LE(std::abs((own.top + own.bottom) - (owner.top + owner.bottom)), 1);
    EXPECT_EQ(own.right - own.left, 250);
}

TEST_F(Progress, BudgetIsTheFaceCountPlusATenthInWidenedSinglePrecision) {
    struct Case {
        uint32_t faces, extra, budget;
    };
    const Case cases[] = {
        {0, 0, 0},
        {9, 0, 9},
        {10, 1, 11},
        {100, 10, 110},
        {1000, 100, 1100},
        {67108868, 6710886, 73819754},
        // The single-precision 0.1 is a little more than a tenth.
        {67108869, 6710887, 73819756},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faces);
        exporter.objectStepsDone = 7;
        exporter.BeginObject(c.faces);
        EXPECT_EQ(exporter.objectExtraSteps, c.extra);
        EXPECT_EQ(exporter.ObjectExtraSteps(), c.extra);
        EXPECT_EQ(exporter.objectSteps, c.budget);
        EXPECT_EQ(exporter.objectStepsDone, 0u);
    }
}

TEST_F(Progress, PercentagesAreTruncatedDoubleResults) {
    exporter.ShowProgress();
    struct Case {
        uint32_t count, done, budget, steps;
        const char* label;
        int objectBar, overallBar;
    };
    const Case cases[] = {
        {100, 29, 0, 0, "Total Progress: 28% (29 of 100)", 0, 28},
        {50, 29, 0, 0, "Total Progress: 57% (29 of 50)", 0, 57},
        {4, 1, 110, 55, "Total Progress: 37% (1 of 4)", 50, 37},
        {1, 0, 1100, 1100, "Total Progress: 100% (0 of 1)", 100, 100},
        // Two material groups: 1150 steps against 1100; the bars show their maximum.
        {1, 0, 1100, 1150, "Total Progress: 104% (0 of 1)", 100, 100},
        {3, 0, 0, 25, "Total Progress: 0% (0 of 3)", 0, 0},   // a budget of 0 shows 0 %
        {0, 0, 10, 5, "Total Progress: 0% (0 of 0)", 50, 0},  // no objects: no division
        {1, 4000000000u, 0, 0, "Total Progress: 2147483647% (-294967296 of 1)", 0, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        exporter.objectCount = c.count;
        exporter.objectsDone = c.done;
        exporter.objectSteps = c.budget;
        exporter.objectStepsDone = 0;
        exporter.StepProgress(c.steps);
        EXPECT_EQ(Text(IDC_OVERALL_TEXT), c.label);
        EXPECT_EQ(Bar(IDC_OBJECT_PROGRESS), c.objectBar);
        EXPECT_EQ(Bar(IDC_OVERALL_PROGRESS), c.overallBar);
    }
}

TEST_F(Progress, NextObjectEmptiesTheObjectBarButKeepsTheBudget) {
    exporter.ShowProgress();
    exporter.objectCount = 4;
    exporter.BeginObject(100);
    exporter.StepProgress(55);
    exporter.NextObject();
    EXPECT_EQ(exporter.objectsDone, 1u);
    EXPECT_EQ(exporter.objectSteps, 110u);
    EXPECT_EQ(Bar(IDC_OBJECT_PROGRESS), 0);
    EXPECT_EQ(Text(IDC_OVERALL_TEXT), "Total Progress: 25% (1 of 4)");
    exporter.StepProgress(11);
    EXPECT_EQ(Text(IDC_OVERALL_TEXT), "Total Progress: 27% (1 of 4)");  // 10 / 4 + 25
}

// A run as the export drives it: show, steps, a click on Cancel dispatched
// inside IsCancelled, then Close, then a second run that completes.
TEST_F(Progress, ScriptedRunCancelledThenClosedThenCompleted) {
    exporter.preparedNodes.push_back(std::make_unique<PreparedNode>());
    exporter.running = true;
    exporter.SetDetailText("Status: Preprocess");
    EXPECT_EQ(
        State(),
        "hidden | <export status> | Status: Preprocess | <overall progress> | Cancel | 0 | 0");
    exporter.objectCount = 2;
    exporter.ShowProgress();
    EXPECT_EQ(State(),
              "shown | <export status> | Status: Preprocess | <overall progress> | Cancel | 0 | 0");

    exporter.SetStatusText("File: /out/first.kvo");
    exporter.BeginObject(100);
    exporter.SetDetailText("Status: Geob 1 of 1");
    for (int face = 0; face < 55; ++face) {
        ASSERT_FALSE(exporter.IsCancelled());
        exporter.StepProgress(1);
    }
    EXPECT_EQ(State(),
              "shown | File: /out/first.kvo | Status: Geob 1 of 1 | Total Progress: 25% (0 of 2) "
              "| Cancel | 50 | 25");
    exporter.NextObject();
    EXPECT_EQ(State(),
              "shown | File: /out/first.kvo | Status: Geob 1 of 1 | Total Progress: 50% (1 of 2) "
              "| Cancel | 0 | 50");

    // The user presses Cancel; the host dispatches the click on the third poll.
    int polls = 0;
    HWND button = GetDlgItem(dialog, IDC_CANCEL_CLOSE);
    ip.SetMessagePump([&] {
        if (++polls == 3) PostMessageA(button, BM_CLICK, 0, 0);
    });
    exporter.SetStatusText("File: /out/second.kvo");
    exporter.BeginObject(10);
    int steps = 0;
    while (!exporter.IsCancelled()) {
        exporter.StepProgress(1);
        ++steps;
    }
    EXPECT_EQ(polls, 3);
    EXPECT_EQ(steps, 2);
    EXPECT_FALSE(exporter.running);
    EXPECT_EQ(exporter.objectsDone, 2u);
    EXPECT_EQ(exporter.preparedNodes.size(), 1u);  // the run releases them itself
    // 2 of 11 steps: 18 %, overall 18 / 2 + 50; the label keeps its last text.
    EXPECT_EQ(State(),
              "shown |  | Status: Canceled. | Total Progress: 59% (1 of 2) | Close | 18 | 100");
    EXPECT_TRUE(exporter.IsCancelled());

    // Close hides the dialog.
    ip.SetMessagePump(nullptr);
    ClickButton();
    EXPECT_FALSE(Visible());
    EXPECT_EQ(Text(IDC_CANCEL_CLOSE), "Close");

    // The next run shows it again with Cancel and both bars at 0; it completes.
    exporter.running = true;
    exporter.objectsDone = 0;
    exporter.objectCount = 1;
    exporter.ShowProgress();
    EXPECT_EQ(State(),
              "shown |  | Status: Canceled. | Total Progress: 59% (1 of 2) | Cancel | 0 | 0");
    exporter.BeginObject(10);
    exporter.StepProgress(11);
    exporter.NextObject();
    exporter.FinishProgress("Done!");
    EXPECT_FALSE(exporter.running);
    EXPECT_TRUE(exporter.preparedNodes.empty());
    EXPECT_EQ(State(),
              "shown |  | Status: Done! | Total Progress: 100% (1 of 1) | Close | 0 | 100");
}

TEST_F(Progress, EscEnterAndTheCloseBoxDoNothing) {
    exporter.ShowProgress();
    for (bool running : {true, false}) {
        SCOPED_TRACE(running);
        exporter.running = running;
        const std::string before = State();
        HWND button = GetDlgItem(dialog, IDC_CANCEL_CLOSE);
        PostMessageA(button, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(button, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        ip.ProcessMessages();
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_EQ(headless::PendingMessages(), 0u);
        EXPECT_EQ(State(), before);
        EXPECT_EQ(exporter.running, running);
        EXPECT_TRUE(Visible());
    }
}

TEST_F(Progress, CancelWhileIdleHidesAndAPressDuringTheNextPreprocessCancelsIt) {
    exporter.ShowProgress();
    exporter.running = true;
    exporter.FinishProgress("Done!");
    // Export pressed again while the dialog still reads Close: the run is on.
    exporter.running = true;
    exporter.SetDetailText("Status: Preprocess");
    EXPECT_EQ(Text(IDC_CANCEL_CLOSE), "Close");
    exporter.objectCount = 3;
    ClickButton();
    EXPECT_FALSE(exporter.running);
    EXPECT_EQ(exporter.objectsDone, 3u);
    EXPECT_EQ(Text(IDC_DETAILS), "Status: Canceled.");
    EXPECT_TRUE(Visible());
    // No run now: the button hides the dialog and changes nothing else.
    ClickButton();
    EXPECT_FALSE(Visible());
    EXPECT_EQ(Text(IDC_DETAILS), "Status: Canceled.");
    // A second cancel outside a run does nothing.
    exporter.CancelExport();
    EXPECT_EQ(exporter.objectsDone, 3u);
}

TEST_F(Progress, AfterTheDialogIsGoneEverythingIsHarmless) {
    exporter.ShowProgress();
    exporter.DestroyProgressDialog();
    EXPECT_FALSE(IsWindow(dialog));
    for (HWND h : {exporter.hProgressDlg, exporter.hObjectBar, exporter.hStatusText,
                   exporter.hOverallBar, exporter.hOverallText}) {
        EXPECT_EQ(h, nullptr);
    }
    exporter.running = true;
    exporter.objectCount = 1;
    exporter.ShowProgress();
    exporter.SetDetailText("x");
    exporter.SetStatusText("y");
    exporter.BeginObject(10);
    exporter.StepProgress(3);
    exporter.NextObject();
    exporter.CancelExport();
    EXPECT_FALSE(exporter.running);
    exporter.ip = nullptr;
    EXPECT_TRUE(exporter.IsCancelled());  // no host: no pump, no run
    exporter.running = true;
    EXPECT_FALSE(exporter.IsCancelled());
    exporter.running = false;
}

TEST_F(Progress, WithoutAHostTheAdaptersAnswerNothingAndErrorsReachTheDialog) {
    ip.SetCancel(TRUE);
    exporter.ip = nullptr;
    EXPECT_FALSE(exporter.HostCancelFlag());
    EXPECT_EQ(exporter.SceneRoot(), nullptr);

    exporter.ShowError(page, "Please select objects to export!");
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].owner, page);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "Please select objects to export!");
    EXPECT_EQ(headless::MessageBoxes()[0].caption, "Error");
    EXPECT_EQ(headless::MessageBoxes()[0].type, MB_OK);

    // The status line holds what a 512-byte buffer holds.
    const std::string path = "File: " + std::string(600, 'p');
    exporter.SetStatusText(path.c_str());
    EXPECT_EQ(Text(IDC_EXPORT_STATUS), path.substr(0, 511));
}

}  // namespace
