// The import worker: a process of its own (kvoexp-import --import-worker)
// that imports the console host's scenes, each in a fresh child of itself,
// so a crash, a hang or a memory bomb in the importer costs only that scene,
// never the host or the next scene.
#pragma once

namespace kvoimport {

// The first argument of a worker.
constexpr const char* kImportWorkerFlag = "--import-worker";
// The exit status of a worker whose allocation failed at its memory limit.
constexpr int kWorkerOutOfMemoryStatus = 86;

// Answers requests from `requestFd` on `answerFd` until the requests end;
// returns the process's exit status.
int RunImportWorker(int requestFd, int answerFd);

// Runs the worker and returns true (with its status) when argv asks for one.
bool MaybeRunImportWorker(int argc, char** argv, int& status);

}  // namespace kvoimport
