// The scene form's answer file: the host takes exactly the announced bytes
// from a sealed mapping, never maps a file it could not seal, and the seals
// hold against the writer; the import process opens only the file the
// request names; and through the pool, answers that are cut, too long,
// never written, garbage, or whose writer dies half-way fail their scene
// alone, with one import process or two.
#include "cli/import/answer_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "cli/import/answer_file_writer.h"
#include "cli/import/import_pool.h"
#include "cli/import/import_protocol.h"
#include "tests/cli/cli_test_support.h"

namespace {

using kvoimport::AnswerFile;
using kvoimport::AnswerFileRef;
using kvoimport::AnswerView;

std::vector<uint8_t> Bytes(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 13 + 5);
    return bytes;
}

bool Put(int fd, const std::vector<uint8_t>& bytes) {
    return pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
}

std::vector<uint8_t> Seen(const AnswerView& view) {
    return std::vector<uint8_t>(view.data(), view.data() + view.size());
}

TEST(AnswerFile, TakesExactlyTheAnnouncedBytes) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const struct {
        const char* what;
        size_t written;
        uint64_t announced;
        bool ok;
    } cases[] = {
        {"whole, several pages", 5 * page + 17, 5 * page + 17, true},
        {"whole, one byte", 1, 1, true},
        {"empty", 0, 0, true},
        {"truncated", 3 * page, 3 * page + 1, false},
        {"over-long", 2 * page + 1, 2 * page, false},
        {"never written", 0, 4096, false},
        {"past the address space", 10, uint64_t{1} << 62, false},
    };
    for (const auto& c : cases) {
        AnswerFile file;
        std::string error;
        ASSERT_TRUE(file.Create(error)) << error;
        const std::vector<uint8_t> bytes = Bytes(c.written);
        ASSERT_TRUE(Put(file.fd(), bytes)) << c.what;
        AnswerView view;
        EXPECT_EQ(file.Take(c.announced, view, error), c.ok) << c.what;
        if (!c.ok) {
            EXPECT_NE(error.find("not the " + std::to_string(c.announced) + " announced"),
                      std::string::npos)
                << c.what << ": " << error;
            EXPECT_EQ(view.size(), 0u) << c.what;
            continue;
        }
        EXPECT_EQ(Seen(view), bytes) << c.what;
        EXPECT_EQ(view.Mapped(), c.written > 0) << c.what;
    }
}

// A file whose writer can still shrink it could fault under a mapping: the
// host copies it instead, and the copy holds the same bytes.
TEST(AnswerFile, RefusesToMapAFileItCouldNotSeal) {
    const std::vector<uint8_t> bytes = Bytes(3 * 4096 + 100);
    char scratch[] = "/tmp/kvoexp-answer-XXXXXX";
    const int regular = mkstemp(scratch);
    ASSERT_GE(regular, 0);
    unlink(scratch);
    const struct {
        const char* what;
        int fd;
        bool sealSeal;     // the writer sealed it against further seals
        bool sharedWrite;  // the writer holds a writable shared mapping
    } cases[] = {
        {"a memfd made without sealing", memfd_create("t", MFD_CLOEXEC), false, false},
        {"a memfd sealed against seals", memfd_create("t", MFD_CLOEXEC | MFD_ALLOW_SEALING), true,
         false},
        {"a memfd mapped for writing", memfd_create("t", MFD_CLOEXEC | MFD_ALLOW_SEALING), false,
         true},
        {"a file on a disk or tmpfs", regular, false, false},
    };
    for (const auto& c : cases) {
        ASSERT_GE(c.fd, 0) << c.what;
        ASSERT_TRUE(Put(c.fd, bytes)) << c.what;
        if (c.sealSeal) {
            ASSERT_EQ(fcntl(c.fd, F_ADD_SEALS, F_SEAL_SEAL), 0);
        }
        void* writable = MAP_FAILED;
        if (c.sharedWrite) {
            writable = mmap(nullptr, bytes.size(), PROT_READ | PROT_WRITE, MAP_SHARED, c.fd, 0);
            ASSERT_NE(writable, MAP_FAILED);
        }
        AnswerFile file;
        file.Adopt(c.fd);
        AnswerView view;
        std::string error;
        ASSERT_TRUE(file.Take(bytes.size(), view, error)) << c.what << ": " << error;
        EXPECT_FALSE(view.Mapped()) << c.what;
        EXPECT_EQ(Seen(view), bytes) << c.what;
        // Unsealed, the writer can still cut the file: the copy is unaffected.
        EXPECT_EQ(ftruncate(c.fd, 0), 0) << c.what;
        EXPECT_EQ(Seen(view), bytes) << c.what;
        if (writable != MAP_FAILED) munmap(writable, bytes.size());
    }
}

// After the host took the answer, the import process's descriptor can
// neither write, cut nor grow the file, so the mapping's bytes stay.
TEST(AnswerFile, TheSealsHoldAgainstTheWriter) {
    AnswerFile file;
    std::string error;
    ASSERT_TRUE(file.Create(error)) << error;
    AnswerFileRef ref;
    ASSERT_TRUE(file.Ref(ref));
    const int writer = kvoimport::OpenAnswerFile(getpid(), ref);
    ASSERT_GE(writer, 0) << std::strerror(errno);
    const std::vector<uint8_t> bytes = Bytes(2 * 4096 + 9);
    ASSERT_TRUE(kvoimport::WriteAll(writer, bytes.data(), bytes.size()));
    AnswerView view;
    ASSERT_TRUE(file.Take(bytes.size(), view, error)) << error;
    ASSERT_TRUE(view.Mapped());
    const uint8_t junk[4] = {1, 2, 3, 4};
    EXPECT_EQ(pwrite(writer, junk, sizeof junk, 0), -1);
    EXPECT_EQ(write(writer, junk, sizeof junk), -1);
    EXPECT_EQ(ftruncate(writer, 0), -1);
    EXPECT_EQ(ftruncate(writer, 1 << 20), -1);
    EXPECT_EQ(fallocate(writer, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 0, 4096), -1);
    EXPECT_EQ(mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, writer, 0), MAP_FAILED);
    EXPECT_EQ(Seen(view), bytes);
    close(writer);
}

// The import process opens only a fresh memfd of the inode the request names.
TEST(AnswerFile, TheImportProcessOpensOnlyTheFileNamed) {
    AnswerFile fresh, used;
    std::string error;
    ASSERT_TRUE(fresh.Create(error) && used.Create(error)) << error;
    ASSERT_TRUE(Put(used.fd(), {1}));
    AnswerFileRef good, usedRef;
    ASSERT_TRUE(fresh.Ref(good) && used.Ref(usedRef));
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    char scratch[] = "/tmp/kvoexp-answer-XXXXXX";
    const int regular = mkstemp(scratch);
    ASSERT_GE(regular, 0);
    unlink(scratch);
    struct stat st {};
    ASSERT_EQ(fstat(regular, &st), 0);
    const struct {
        const char* what;
        AnswerFileRef ref;
        pid_t host;
        bool opens;
    } cases[] = {
        {"the file named", good, getpid(), true},
        {"another inode at that number", {good.fd, good.inode + 1}, getpid(), false},
        {"a file already written", usedRef, getpid(), false},
        {"a pipe", {static_cast<uint32_t>(pipeFds[1]), 0}, getpid(), false},
        {"an empty file that is no memfd",
         {static_cast<uint32_t>(regular), static_cast<uint64_t>(st.st_ino)},
         getpid(),
         false},
        {"a number that is not open", {60000, good.inode}, getpid(), false},
        {"no host", good, 1, false},
    };
    for (const auto& c : cases) {
        const int fd = kvoimport::OpenAnswerFile(c.host, c.ref);
        EXPECT_EQ(fd >= 0, c.opens) << c.what;
        if (fd >= 0) close(fd);
    }
    for (int fd : {pipeFds[0], pipeFds[1], regular}) close(fd);
}

TEST(AnswerFile, RequestsNameTheFileAndItsAnswerIsAHeadAlone) {
    AnswerFileRef ref;
    ref.fd = 0x0102;
    ref.inode = 0x0807060504030201ull;
    const std::vector<uint8_t> request = kvoimport::EncodeRequest("a", {true, false}, &ref);
    const std::vector<uint8_t> tail(request.end() - 12, request.end());
    EXPECT_EQ(request[6], 1 | 8 | 16);
    EXPECT_EQ(tail, (std::vector<uint8_t>{2, 1, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}));
    for (size_t cut = 0; cut <= 12; ++cut) {
        const std::vector<uint8_t> body(request.begin() + 1, request.end() - cut);
        clitest::ExactReads read(body);
        std::string path;
        kvoimport::ImportSettings settings;
        bool hasFile = false;
        AnswerFileRef got;
        EXPECT_EQ(kvoimport::ReadRequest(read, path, settings, &hasFile, &got), cut == 0) << cut;
        if (cut > 0) continue;
        EXPECT_TRUE(hasFile);
        EXPECT_EQ(got.fd, ref.fd);
        EXPECT_EQ(got.inode, ref.inode);
    }

    auto head = [](uint8_t kind, uint64_t length) {
        const kvoimport::AnswerHead h = kvoimport::MakeAnswerHead(kind, length);
        return std::vector<uint8_t>(h.begin(), h.end());
    };
    std::vector<uint8_t> files = head('F', 0);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        bool complete;
        const char* refusal;
    } cases[] = {
        {"files then the scene's head", {}, true, ""},
        {"the scene's head alone", head('M', 1000), false, "a scene without the list"},
        {"a scene past the limit", {}, false, "more than the 4096 accepted"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::vector<uint8_t> bytes = cases[i].bytes;
        if (i == 0 || i == 2) {
            bytes = files;
            const std::vector<uint8_t> m = head('M', i == 0 ? 1000 : 4097);
            bytes.insert(bytes.end(), m.begin(), m.end());
        }
        kvoimport::ReplyReader reader(4096);
        for (uint8_t byte : bytes) {
            size_t room = 0;
            uint8_t* into = reader.Space(room);
            if (into == nullptr) break;
            *into = byte;
            reader.Took(1);
        }
        EXPECT_EQ(reader.Complete(), cases[i].complete) << cases[i].what;
        EXPECT_NE(reader.Refusal().find(cases[i].refusal), std::string::npos)
            << cases[i].what << ": " << reader.Refusal();
        if (cases[i].complete) {
            EXPECT_EQ(reader.Kind(), kvoimport::kSceneInFile);
            EXPECT_EQ(reader.Length(), 1000u);
            EXPECT_EQ(reader.TakeBody().size(), 0u);
        }
    }
}

// The pool against an import process that writes its answer file wrong in
// every way; each scene fails alone, in any order, with -j 1 and -j 2.
TEST(AnswerFile, DamagedAnswerFilesFailTheirSceneAlone) {
    const std::map<std::string, std::string> expected = {
        {"whole", ""},
        {"unsealable", ""},
        {"truncated", "the import process's answer is damaged: the answer file holds"},
        {"overlong", "the import process's answer is damaged: the answer file holds"},
        {"unwritten", "the import process's answer is damaged: the answer file holds 0 bytes"},
        {"garbage", "the import process's answer is damaged: "},
        {"killed", "the import process's answer is cut short (the importer crashed (signal 9"},
    };
    std::vector<std::string> paths;
    for (int twice = 0; twice < 2; ++twice) {
        for (const auto& e : expected) paths.push_back("/scenes/" + e.first);
    }
    std::mt19937 random(25);
    std::vector<uint8_t> wholeBytes;
    for (unsigned jobs : {1u, 2u, 1u, 2u}) {
        std::shuffle(paths.begin(), paths.end(), random);
        kvoimport::ImportPoolSettings settings;
        settings.workerProgram = KVOEXP_FAKE_IMPORT_WORKER;
        settings.jobs = jobs;
        settings.timeoutSeconds = 30;
        settings.keepBytes = true;
        kvoimport::ImportPool pool(settings, paths);
        for (const std::string& path : paths) {
            kvoimport::ImportedScene scene;
            ASSERT_TRUE(pool.Next(scene));
            ASSERT_EQ(scene.path, path);
            const std::string& want = expected.at(path.substr(path.rfind('/') + 1));
            EXPECT_EQ(scene.ok, want.empty()) << path << " -j " << jobs << ": " << scene.error;
            EXPECT_EQ(scene.error.rfind(want, 0), 0u)
                << path << " -j " << jobs << ": " << scene.error;
            if (!scene.ok) continue;
            ASSERT_EQ(scene.scene.nodes.size(), 1u) << path;
            EXPECT_EQ(scene.scene.nodes[0].mesh.faces.size(), 600000u) << path;
            EXPECT_EQ(scene.filesRead, std::vector<std::string>{path});
            const std::vector<uint8_t> bytes(scene.bytes.data(),
                                             scene.bytes.data() + scene.bytes.size());
            if (wholeBytes.empty()) wholeBytes = bytes;
            EXPECT_EQ(bytes, wholeBytes) << path;
        }
        kvoimport::ImportedScene none;
        EXPECT_FALSE(pool.Next(none));
    }
}

}  // namespace
