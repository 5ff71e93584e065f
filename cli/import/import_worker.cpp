#include "cli/import/import_worker.h"

#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "cli/import/answer_file_writer.h"
#include "cli/import/assimp_module.h"
#include "cli/import/huge_pages.h"
#include "cli/import/import_files.h"
#include "cli/import/import_protocol.h"
#include "cli/import/obj_exact_numbers.h"
#include "cli/import/scene_file_stamp.h"
#include "cli/import/scene_import.h"
#include "scene/scene_decoder.h"
#include "scene/scene_encoder.h"

namespace kvoimport {

using kvoscene::EncodedSize;
using kvoscene::EncodeScene;
using kvoscene::Scene;

namespace {

// A failed allocation at the memory limit ends the worker with a status the
// host recognises, before the importer can turn it into a vaguer message.
void OutOfMemory() {
    _exit(kWorkerOutOfMemoryStatus);
}

// Only a regular file is handed to the importer (a directory would read as an
// empty scene and a FIFO would block it), and a file that changes while it is
// read fails its import.
bool ImportSceneFile(const std::string& path, const ImportSettings& settings, Scene& scene,
                     std::string& error, FilesRead& files) {
    SceneFileStamp before, after;
    if (!StampSceneFile(path, before, error) ||
        !ImportScene(path, settings, scene, error, &files, ImportWithAssimpModule)) {
        return false;
    }
    if (!StampSceneFile(path, after, error)) {
        error = "the file changed while it was read (now: " + error + ")";
        return false;
    }
    error = ChangeWhileRead(before, after);
    return error.empty();
}

bool SendError(int fd, std::string error) {
    if (error.empty()) error = "unknown import error";
    if (error.size() > kMaxErrorText) error.resize(kMaxErrorText);
    const AnswerHead head = MakeAnswerHead(kErrorFollows, error.size());
    return WriteAll(fd, head.data(), head.size()) &&
           WriteAll(fd, reinterpret_cast<const uint8_t*>(error.data()), error.size());
}

bool SendSceneThroughPipe(int fd, const Scene& scene) {
    // The form goes down the pipe in pieces as it is encoded, so the host
    // reads while the rest is still being written.
    const AnswerHead head = MakeAnswerHead(kSceneFollows, EncodedSize(scene));
    return WriteAll(fd, head.data(), head.size()) &&
           EncodeScene(scene,
                       [fd](const uint8_t* data, size_t size) { return WriteAll(fd, data, size); });
}

// The scene form written into the host's answer file with plain writes, then
// its head down the pipe, which tells the host the file is complete. A file
// that takes no more (a file-size limit) leaves the form to the pipe, where
// the host takes or refuses it by its length as ever.
bool SendScene(int fd, int answerFile, const Scene& scene) {
    if (answerFile < 0 || !EncodeScene(scene, [answerFile](const uint8_t* data, size_t size) {
            return WriteAll(answerFile, data, size);
        })) {
        return SendSceneThroughPipe(fd, scene);
    }
    const AnswerHead head = MakeAnswerHead(kSceneInFile, EncodedSize(scene));
    return WriteAll(fd, head.data(), head.size());
}

bool Answer(int fd, int answerFile, const std::string& path, const ImportSettings& settings) {
    Scene scene;
    std::string error;
    FilesRead files;
    std::vector<uint8_t> list, images;
    bool ok = ImportSceneFile(path, settings, scene, error, files);
    if (ok && (list = EncodeFileList(files.Paths())).size() > kMaxFileList) {
        error = "the scene names more files than a list of files read holds";
        ok = false;
    }
    if (ok && (images = EncodeEmbeddedImages(files.embeddedImages)).size() > kMaxEmbeddedImages) {
        error = "the scene holds more image bytes than an answer carries";
        ok = false;
    }
    if (!ok) return SendError(fd, error);
    const AnswerHead listHead = MakeAnswerHead(kFilesFollow, list.size());
    const AnswerHead imagesHead = MakeAnswerHead(kImagesFollow, images.size());
    if (!WriteAll(fd, listHead.data(), listHead.size()) ||
        !WriteAll(fd, list.data(), list.size()) ||
        (!files.embeddedImages.empty() && (!WriteAll(fd, imagesHead.data(), imagesHead.size()) ||
                                           !WriteAll(fd, images.data(), images.size())))) {
        return false;
    }
    return SendScene(fd, answerFile, scene);
}

// Imports one scene in a child of this process, a copy of a process that has
// imported nothing, so no damage one scene does inside the importer reaches
// the next. A child that does not finish its answer ends this process the
// same way (signal or status), which the host reports for that scene and
// answers with a fresh worker.
bool AnswerInFreshProcess(int fd, int answerFile, const std::string& path,
                          const ImportSettings& settings) {
    const pid_t server = getpid();
    const pid_t child = fork();
    if (child < 0) {
        return SendError(fd,
                         std::string("cannot start an import process: ") + std::strerror(errno));
    }
    if (child == 0) {
        // Ends with this process (a time-out or an interrupt kills it).
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != server) _exit(1);
        AllowHugePagesFor(path);
        _exit(Answer(fd, answerFile, path, settings) ? 0 : 1);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    if (WIFEXITED(status)) {
        if (WEXITSTATUS(status) == 0) return true;
        _exit(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        signal(WTERMSIG(status), SIG_DFL);
        raise(WTERMSIG(status));
    }
    _exit(1);
}

bool ParseFd(const char* text, int& fd) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0 || value > 65535) return false;
    fd = static_cast<int>(value);
    return true;
}

}  // namespace

int RunImportWorker(int requestFd, int answerFd) {
    // The host turns Ctrl-C into a cancel and ends its workers itself.
    signal(SIGINT, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    std::set_new_handler(OutOfMemory);
    for (;;) {
        uint8_t tag = 0;
        const ssize_t n = read(requestFd, &tag, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) return 0;  // the host has no more scenes
        if (n < 0 || tag != kRequestTag) return 1;
        std::string path;
        ImportSettings settings;
        bool hasFile = false;
        AnswerFileRef ref;
        if (!ReadRequest(
                [requestFd](uint8_t* data, size_t size) { return ReadAll(requestFd, data, size); },
                path, settings, &hasFile, &ref)) {
            return 1;
        }
        // The importer's module is loaded here, once, so that the children
        // of later scenes inherit it; OBJ files rarely need it.
        if (!IsObjPath(path)) {
            std::string unused;
            LoadAssimpModule(unused);
        }
        // Opened here, before the child is forked: the host closes the file
        // only once this process has answered or been reaped, so the number
        // never names a later file by the time it is opened.
        const int answerFile = hasFile ? OpenAnswerFile(getppid(), ref) : -1;
        const bool answered = AnswerInFreshProcess(answerFd, answerFile, path, settings);
        if (answerFile >= 0) close(answerFile);
        if (!answered) return 1;
    }
}

bool MaybeRunImportWorker(int argc, char** argv, int& status) {
    if (argc < 2 || std::strcmp(argv[1], kImportWorkerFlag) != 0) return false;
    int requestFd = -1, answerFd = -1;
    if (argc != 4 || !ParseFd(argv[2], requestFd) || !ParseFd(argv[3], answerFd)) {
        status = 2;
        return true;
    }
    status = RunImportWorker(requestFd, answerFd);
    return true;
}

}  // namespace kvoimport
