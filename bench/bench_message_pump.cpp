// The window stand-in's calls that an export makes once per face or corner,
// each with nothing to do: a poll of an empty queue, the host's message
// processing with and without the console host's pump, and the progress
// refresh whose label and bar positions did not change. Beside them the same
// refresh with changing values, for comparison.
//
// The console host's pump draws its terminal line on standard error at most
// ten times a second: run with 2>/dev/null.
#include <benchmark/benchmark.h>

#include <csignal>

#include "cli/program/run_observer.h"
#include "platform/max/max_sdk.h"
#include "platform/win32/headless.h"
#include "plugin/resource.h"

namespace {

// A progress dialog with the controls of the plug-in's template.
class ProgressWindows {
public:
    ProgressWindows() {
        dialog_ = CreateWindowExA(0, "#32770", "Exporting...", WS_POPUP | WS_VISIBLE, 0, 0, 250, 94,
                                  nullptr, nullptr, nullptr, nullptr);
        Child("Static", "<export status>", IDC_EXPORT_STATUS);
        Child("Static", "<details>", IDC_DETAILS);
        objectBar_ = Child(PROGRESS_CLASS, "", IDC_OBJECT_PROGRESS);
        overallText_ = Child("Static", "<overall progress>", IDC_OVERALL_TEXT);
        overallBar_ = Child(PROGRESS_CLASS, "", IDC_OVERALL_PROGRESS);
        Child("Button", "Cancel", IDC_CANCEL_CLOSE);
    }
    ~ProgressWindows() { DestroyWindow(dialog_); }

    HWND dialog() const { return dialog_; }
    HWND overallText() const { return overallText_; }
    HWND objectBar() const { return objectBar_; }
    HWND overallBar() const { return overallBar_; }

private:
    HWND Child(const char* className, const char* text, int id) {
        return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE, 0, 0, 236, 8, dialog_,
                               reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr,
                               nullptr);
    }

    HWND dialog_ = nullptr;
    HWND objectBar_ = nullptr;
    HWND overallText_ = nullptr;
    HWND overallBar_ = nullptr;
};

void BM_PeekMessage_empty_queue(benchmark::State& state) {
    MSG msg{};
    for (auto _ : state) benchmark::DoNotOptimize(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}
BENCHMARK(BM_PeekMessage_empty_queue);

void BM_ProcessMessages_no_pump(benchmark::State& state) {
    Interface ip;
    for (auto _ : state) benchmark::DoNotOptimize(ip.ProcessMessages());
}
BENCHMARK(BM_ProcessMessages_no_pump);

// What IsCancelled costs the console host: its pump (the Ctrl-C check, the
// clock every so many calls, the terminal line ten times a second), then the
// empty queue.
void BM_ProcessMessages_console_pump(benchmark::State& state) {
    ProgressWindows windows;
    volatile sig_atomic_t interrupted = 0;
    kvocli::RunObserver observer(&interrupted, true);
    Interface ip;
    ip.SetMessagePump([&observer] { observer.Pump(); });
    observer.Begin(windows.dialog());
    for (auto _ : state) benchmark::DoNotOptimize(ip.ProcessMessages());
    observer.End();
}
BENCHMARK(BM_ProcessMessages_console_pump);

void BM_SetWindowText_same_text(benchmark::State& state) {
    ProgressWindows windows;
    SetWindowTextA(windows.overallText(), "Total Progress: 37% (1 of 4)");
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            SetWindowTextA(windows.overallText(), "Total Progress: 37% (1 of 4)"));
    }
}
BENCHMARK(BM_SetWindowText_same_text);

void BM_SetDlgItemText_same_text(benchmark::State& state) {
    ProgressWindows windows;
    SetDlgItemTextA(windows.dialog(), IDC_DETAILS, "Status: Geob 1 of 3");
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            SetDlgItemTextA(windows.dialog(), IDC_DETAILS, "Status: Geob 1 of 3"));
    }
}
BENCHMARK(BM_SetDlgItemText_same_text);

void BM_SetWindowText_changed_text(benchmark::State& state) {
    ProgressWindows windows;
    const char* texts[2] = {"Total Progress: 37% (1 of 4)", "Total Progress: 38% (1 of 4)"};
    unsigned i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(SetWindowTextA(windows.overallText(), texts[++i & 1]));
}
BENCHMARK(BM_SetWindowText_changed_text);

void BM_ProgressSetPos_same_position(benchmark::State& state) {
    ProgressWindows windows;
    SendMessageA(windows.objectBar(), PBM_SETPOS, 50, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(SendMessageA(windows.objectBar(), PBM_SETPOS, 50, 0));
}
BENCHMARK(BM_ProgressSetPos_same_position);

void BM_UpdateWindow_unchanged(benchmark::State& state) {
    ProgressWindows windows;
    for (auto _ : state) benchmark::DoNotOptimize(UpdateWindow(windows.dialog()));
}
BENCHMARK(BM_UpdateWindow_unchanged);

// The three calls of one progress refresh: the overall label and both bars.
void BM_Refresh_unchanged(benchmark::State& state) {
    ProgressWindows windows;
    for (auto _ : state) {
        SetWindowTextA(windows.overallText(), "Total Progress: 37% (1 of 4)");
        SendMessageA(windows.objectBar(), PBM_SETPOS, 50, 0);
        SendMessageA(windows.overallBar(), PBM_SETPOS, 37, 0);
    }
}
BENCHMARK(BM_Refresh_unchanged);

}  // namespace

BENCHMARK_MAIN();
