// The host's side of the import worker's wire: pinned bytes of a request, an
// answer head and a list of files read, every way of cutting an answer into
// reads, answers that are unknown, too long for their limit, or ask for more
// than can be had, and replies out of order.
#include "cli/import/import_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/cli/cli_test_support.h"

namespace {

using kvoimport::AnswerReader;

std::vector<uint8_t> Answer(uint8_t kind, const std::vector<uint8_t>& body, uint64_t announced) {
    const kvoimport::AnswerHead head = kvoimport::MakeAnswerHead(kind, announced);
    std::vector<uint8_t> bytes(head.size() + body.size());
    std::copy(head.begin(), head.end(), bytes.begin());
    std::copy(body.begin(), body.end(), bytes.begin() + static_cast<std::ptrdiff_t>(head.size()));
    return bytes;
}

std::vector<uint8_t> Body(size_t size) {
    std::vector<uint8_t> body(size);
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<uint8_t>(i * 7 + 3);
    return body;
}

// Feeds `bytes` in reads of at most `chunk`; returns how many were taken
// before the reader stopped asking.
template <typename Reader>
size_t Feed(Reader& reader, const std::vector<uint8_t>& bytes, size_t chunk) {
    size_t at = 0;
    while (at < bytes.size()) {
        size_t room = 0;
        uint8_t* into = reader.Space(room);
        if (into == nullptr) break;
        const size_t n = std::min({room, chunk, bytes.size() - at});
        std::memcpy(into, bytes.data() + at, n);
        at += n;
        reader.Took(n);
    }
    return at;
}

TEST(ImportProtocol, RequestAndAnswerHeadBytesArePinned) {
    const std::vector<uint8_t> request = kvoimport::EncodeRequest("a.obj", {true, false});
    // The flags (collapse, and the frame follows), then the frame: no units, no
    // file units, up auto, scale 1.0.
    const std::vector<uint8_t> expected = {'R', 5, 0, 0, 0, 'a', '.', 'o', 'b', 'j',  1 | 8,
                                           0,   0, 0, 0, 0, 0,   0,   0,   0,   0xf0, 0x3f};
    EXPECT_EQ(request, expected);
    const kvoimport::AnswerHead head = kvoimport::MakeAnswerHead('S', 0x0102030405060708ull);
    EXPECT_EQ(std::vector<uint8_t>(head.begin(), head.end()),
              (std::vector<uint8_t>{'S', 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}));
}

TEST(ImportProtocol, RequestsReadBackAndMalformedOnesAreRefused) {
    struct Case {
        const char* what;
        std::vector<uint8_t> body;  // after the tag
        bool ok;
    };
    std::vector<uint8_t> good = kvoimport::EncodeRequest("dir/scene.gltf", {false, true});
    good.erase(good.begin());
    std::vector<uint8_t> badFlags = good;
    badFlags[good.size() - 1 - kvoimport::kFrameRequestBytes] = 16;
    const std::vector<uint8_t> huge = {0xff, 0xff, 0xff, 0x7f};
    const Case cases[] = {{"whole", good, true},
                          {"unknown flags", badFlags, false},
                          {"cut before the flags",
                           {good.begin(), good.end() - 1 - kvoimport::kFrameRequestBytes},
                           false},
                          {"length past the limit", huge, false},
                          {"empty", {}, false}};
    for (const Case& c : cases) {
        clitest::ExactReads read(c.body);
        std::string path;
        kvoimport::ImportSettings settings;
        EXPECT_EQ(kvoimport::ReadRequest(read, path, settings), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(path, "dir/scene.gltf");
            EXPECT_FALSE(settings.collapse);
            EXPECT_TRUE(settings.joinVertices);
        }
    }
}

TEST(ImportProtocol, AnswersArriveWholeWhateverTheReadSizes) {
    const std::vector<uint8_t> body = Body(10000);
    for (uint8_t kind : {kvoimport::kSceneFollows, kvoimport::kErrorFollows}) {
        for (size_t chunk : {size_t{1}, size_t{8}, size_t{9}, size_t{4096}, size_t{1} << 20}) {
            kvoimport::AnswerReader reader(1 << 20);
            std::vector<uint8_t> bytes = Answer(kind, body, body.size());
            bytes.push_back(0xAA);  // the next answer's first byte is not taken
            EXPECT_EQ(Feed(reader, bytes, chunk), bytes.size() - 1) << chunk;
            ASSERT_TRUE(reader.Complete()) << chunk;
            EXPECT_EQ(reader.Kind(), kind);
            const kvoimport::AnswerBytes got = reader.TakeBody();
            EXPECT_EQ(std::vector<uint8_t>(got.data(), got.data() + got.size()), body);
        }
    }
}

TEST(ImportProtocol, CutUnknownAndOversizedAnswersAreNotComplete) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint64_t limit;  // the longest scene accepted
        bool refused;
    };
    std::vector<uint8_t> cutHead = Answer('S', Body(30), 30);
    cutHead.resize(5);
    const Case cases[] = {
        {"missing bytes", Answer('S', Body(299), 300), 4096, false},
        {"cut inside the head", cutHead, 4096, false},
        {"unknown kind", Answer('X', Body(4), 4), 4096, true},
        {"scene past the limit", Answer('S', Body(16), 4097), 4096, true},
        {"error text past its limit", Answer('E', Body(16), kvoimport::kMaxErrorText + 1),
         ~uint64_t{0}, true},
        {"a length no memory holds", Answer('S', Body(16), ~uint64_t{0}), ~uint64_t{0}, true},
    };
    for (const Case& c : cases) {
        for (size_t chunk : {size_t{1}, size_t{64}}) {
            kvoimport::AnswerReader reader(c.limit);
            Feed(reader, c.bytes, chunk);
            EXPECT_FALSE(reader.Complete()) << c.what;
            EXPECT_EQ(!reader.Refusal().empty(), c.refused) << c.what;
        }
    }
}

TEST(ImportProtocol, AnEmptySceneIsComplete) {
    kvoimport::AnswerReader reader(100);
    Feed(reader, Answer('S', {}, 0), 3);
    EXPECT_TRUE(reader.Complete());
    EXPECT_EQ(reader.TakeBody().size(), 0u);
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> bytes;
    for (const std::vector<uint8_t>& part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

std::vector<uint8_t> FilesAnswer(const std::vector<std::string>& paths) {
    const std::vector<uint8_t> body = kvoimport::EncodeFileList(paths);
    return Answer(kvoimport::kFilesFollow, body, body.size());
}

TEST(ImportProtocol, FileListBytesArePinnedAndReadBack) {
    const std::vector<uint8_t> bytes = kvoimport::EncodeFileList({"a.obj", "t/x.png"});
    const std::vector<uint8_t> expected = {5, 0, 0, 0,   'a', '.', 'o', 'b', 'j', 7,
                                           0, 0, 0, 't', '/', 'x', '.', 'p', 'n', 'g'};
    EXPECT_EQ(bytes, expected);
    std::vector<std::string> paths;
    std::string error;
    ASSERT_TRUE(kvoimport::DecodeFileList(bytes.data(), bytes.size(), paths, error)) << error;
    EXPECT_EQ(paths, (std::vector<std::string>{"a.obj", "t/x.png"}));
}

TEST(ImportProtocol, AFileListCutAnywhereButBetweenPathsIsRefused) {
    const std::vector<uint8_t> bytes = kvoimport::EncodeFileList({"a.obj", "t/x.png"});
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        std::vector<std::string> paths;
        std::string error;
        const bool ok = kvoimport::DecodeFileList(bytes.data(), cut, paths, error);
        const bool boundary = cut == 0 || cut == 9 || cut == bytes.size();
        EXPECT_EQ(ok, boundary) << cut;
        if (!ok) {
            EXPECT_NE(error.find("cut inside"), std::string::npos) << cut << ": " << error;
        }
    }
}

TEST(ImportProtocol, DamagedFileListsAreRefusedWithTheCause) {
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* cause;
    } cases[] = {
        {"an empty path", {0, 0, 0, 0}, "a path of 0 bytes"},
        {"a path past the limit", {1, 0, 1, 0}, "a path of 65537 bytes"},
        {"a length past the end", {0xff, 0xff, 0xff, 0xff, 'a'}, "a path of 4294967295 bytes"},
        {"a NUL byte", {3, 0, 0, 0, 'a', 0, 'b'}, "holds a NUL byte"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> paths;
        std::string error;
        EXPECT_FALSE(kvoimport::DecodeFileList(c.bytes.data(), c.bytes.size(), paths, error))
            << c.what;
        EXPECT_NE(error.find(c.cause), std::string::npos) << c.what << ": " << error;
    }
}

TEST(ImportProtocol, RepliesBringTheFilesReadBeforeTheScene) {
    const std::vector<uint8_t> scene = Body(300);
    const std::vector<uint8_t> files = FilesAnswer({"s.obj", "s.mtl"});
    const std::vector<uint8_t> sceneAnswer = Answer('S', scene, scene.size());
    const std::vector<uint8_t> errorAnswer = Answer('E', {'n', 'o'}, 2);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool complete;
        uint8_t kind;
        size_t files;
        const char* refusal;
    };
    const Case cases[] = {
        {"files then scene", Concat({files, sceneAnswer}), true, 'S', 2, ""},
        {"an error alone", errorAnswer, true, 'E', 0, ""},
        {"files then an error", Concat({files, errorAnswer}), true, 'E', 2, ""},
        {"a scene without files", sceneAnswer, false, 'S', 0,
         "a scene without the list of files read"},
        {"two lists", Concat({files, files, sceneAnswer}), false, 'F', 0,
         "two lists of files read"},
        {"a damaged list", Answer('F', {0, 0, 0, 0}, 4), false, 'F', 0, "a path of 0 bytes"},
        {"a list past its limit", Answer('F', {}, kvoimport::kMaxFileList + 1), false, 'F', 0,
         "more than the"},
        {"files only", files, false, 'F', 2, ""},
    };
    for (const Case& c : cases) {
        for (size_t chunk : {size_t{1}, size_t{5}, size_t{4096}}) {
            kvoimport::ReplyReader reader(1 << 20);
            Feed(reader, c.bytes, chunk);
            EXPECT_EQ(reader.Complete(), c.complete) << c.what << " " << chunk;
            EXPECT_NE(reader.Refusal().find(c.refusal), std::string::npos)
                << c.what << ": " << reader.Refusal();
            EXPECT_EQ(reader.Refusal().empty(), *c.refusal == '\0') << c.what;
            if (!c.complete) continue;
            EXPECT_EQ(reader.Kind(), c.kind) << c.what;
            EXPECT_EQ(reader.TakeFilesRead().size(), c.files) << c.what;
            if (c.kind == 'S') {
                const kvoimport::AnswerBytes body = reader.TakeBody();
                EXPECT_EQ(std::vector<uint8_t>(body.data(), body.data() + body.size()), scene);
            }
        }
    }
}

}  // namespace
