// The import worker: a long-lived process (the kvoexp program started with
// --import-worker) that imports scene after scene with Assimp for the
// console host, so a crash, a hang or a memory bomb in the importer costs
// only the worker, never the host.
#pragma once

namespace kvoimport {

// The hidden first argument that turns kvoexp into a worker.
constexpr const char* kImportWorkerFlag = "--import-worker";
// The exit status of a worker whose allocation failed at its memory limit.
constexpr int kWorkerOutOfMemoryStatus = 86;

// Answers requests from `requestFd` on `answerFd` until the requests end;
// returns the process's exit status.
int RunImportWorker(int requestFd, int answerFd);

// kvoexp's main calls this first: runs the worker and returns true (with its
// status) when argv asks for one.
bool MaybeRunImportWorker(int argc, char** argv, int& status);

}  // namespace kvoimport
