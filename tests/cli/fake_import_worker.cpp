// A stand-in import process for the answer-file tests: it speaks the import
// protocol, and the scene's file name says how it writes the answer file
// ("whole", "truncated", "overlong", "unwritten", "killed", "garbage",
// "unsealable"), so the host's side meets every way an answer can go wrong.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/import/answer_file_writer.h"
#include "cli/import/import_protocol.h"
#include "scene/scene_encoder.h"

namespace {

using kvoimport::AnswerHead;
using kvoimport::MakeAnswerHead;
using kvoimport::WriteAll;

// One node of `faces` triangles: a form of a few MiB, many pages long.
std::vector<uint8_t> SceneForm(uint32_t faces) {
    kvoscene::Scene scene;
    kvoscene::Node node;
    node.name = "Grid";
    node.kind = kvoscene::NodeKind::Geometry;
    for (uint32_t i = 0; i < faces + 2; ++i) {
        node.mesh.positions.insert(node.mesh.positions.end(),
                                   {static_cast<float>(i), static_cast<float>(i % 2), 0.0f});
    }
    for (uint32_t i = 0; i < faces; ++i) {
        node.mesh.faces.insert(node.mesh.faces.end(), {i, i + 1, i + 2});
        node.mesh.materialIds.push_back(0);
        node.mesh.smoothing.push_back(1);
    }
    scene.nodes.push_back(std::move(node));
    return kvoscene::EncodeScene(scene);
}

bool Send(int fd, uint8_t kind, const std::vector<uint8_t>& body, uint64_t announced) {
    const AnswerHead head = MakeAnswerHead(kind, announced);
    return WriteAll(fd, head.data(), head.size()) && WriteAll(fd, body.data(), body.size());
}

bool Answer(int answerFd, int file, const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    if (file < 0) return Send(answerFd, kvoimport::kErrorFollows, {'n', 'o', ' ', 'f'}, 4);
    const std::vector<uint8_t> form = SceneForm(200000);
    const std::vector<uint8_t> files = kvoimport::EncodeFileList({path});
    if (!Send(answerFd, kvoimport::kFilesFollow, files, files.size())) return false;
    std::vector<uint8_t> written = form;
    if (name == "truncated") written.resize(form.size() / 2);
    if (name == "overlong") written.insert(written.end(), 10, 0xee);
    if (name == "unwritten") written.clear();
    if (name == "garbage") std::memset(written.data() + 16, 0xee, written.size() - 16);
    // Once sealed against further seals, the host can add none of its own.
    if (name == "unsealable" && fcntl(file, F_ADD_SEALS, F_SEAL_SEAL) != 0) return false;
    if (name == "killed") {
        WriteAll(file, form.data(), form.size() / 2);
        raise(SIGKILL);
    }
    if (!WriteAll(file, written.data(), written.size())) return false;
    const AnswerHead head = MakeAnswerHead(kvoimport::kSceneInFile, form.size());
    return WriteAll(answerFd, head.data(), head.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const int requestFd = std::atoi(argv[2]);
    const int answerFd = std::atoi(argv[3]);
    signal(SIGPIPE, SIG_IGN);
    for (;;) {
        uint8_t tag = 0;
        if (read(requestFd, &tag, 1) != 1) return 0;
        std::string path;
        kvoimport::ImportSettings settings;
        bool hasFile = false;
        kvoimport::AnswerFileRef ref;
        if (tag != kvoimport::kRequestTag || !kvoimport::ReadRequest(
                                                 [requestFd](uint8_t* data, size_t size) {
                                                     return kvoimport::ReadAll(requestFd, data,
                                                                               size);
                                                 },
                                                 path, settings, &hasFile, &ref)) {
            return 1;
        }
        const int file = hasFile ? kvoimport::OpenAnswerFile(getppid(), ref) : -1;
        const bool ok = Answer(answerFd, file, path);
        if (file >= 0) close(file);
        if (!ok) return 1;
    }
}
