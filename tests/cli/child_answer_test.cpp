// The import process's answer as the console host collects it: pinned head
// bytes, every way of cutting the stream into reads, and answers that are
// short, too long or announce more than can be held.
#include "cli/child_answer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using kvoscene::AnswerReader;

struct Collected {
    AnswerReader reader;
    bool outOfMemory = false;
};

// Feeds `bytes` to a reader in reads of at most `chunk` bytes, as the pipe
// would hand them over.
void Feed(Collected& c, const std::vector<uint8_t>& bytes, size_t chunk) {
    size_t at = 0;
    while (at < bytes.size()) {
        size_t room = 0;
        uint8_t* into = c.reader.Space(room);
        if (into == nullptr) {
            c.outOfMemory = true;
            return;
        }
        ASSERT_GT(room, 0u);
        const size_t n = std::min({room, chunk, bytes.size() - at});
        std::memcpy(into, bytes.data() + at, n);
        at += n;
        c.reader.Took(n);
    }
}

std::vector<uint8_t> SceneAnswer(const std::vector<uint8_t>& body, uint64_t announced) {
    const kvoscene::SceneAnswerHead head = kvoscene::MakeSceneAnswerHead(announced);
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

TEST(ChildAnswer, HeadIsTheKindByteAndALittleEndianLength) {
    const kvoscene::SceneAnswerHead head = kvoscene::MakeSceneAnswerHead(0x0102030405060708ull);
    const std::vector<uint8_t> expected = {'S', 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(std::vector<uint8_t>(head.begin(), head.end()), expected);
}

TEST(ChildAnswer, SceneArrivesWholeWhateverTheReadSizes) {
    const std::vector<uint8_t> body = Body(10000);
    for (size_t chunk :
         {size_t{1}, size_t{2}, size_t{8}, size_t{9}, size_t{4096}, size_t{1} << 20}) {
        Collected c;
        Feed(c, SceneAnswer(body, body.size()), chunk);
        EXPECT_FALSE(c.outOfMemory) << chunk;
        EXPECT_TRUE(c.reader.SceneComplete()) << chunk;
        EXPECT_EQ(c.reader.Kind(), kvoscene::kSceneFollows);
        EXPECT_EQ(c.reader.TakeBody(), body) << chunk;
    }
}

TEST(ChildAnswer, ShortLongAndCutAnswersAreNotComplete) {
    const std::vector<uint8_t> body = Body(300);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> cutHead = SceneAnswer(body, body.size());
    cutHead.resize(5);
    std::vector<uint8_t> longer = body;
    longer.resize(900, 0x55);  // past the surplus buffer several times
    const Case cases[] = {
        {"missing bytes", SceneAnswer(std::vector<uint8_t>(body.begin(), body.end() - 1), 300)},
        {"one byte too many", SceneAnswer(Body(301), 300)},
        {"many bytes too many", SceneAnswer(longer, 300)},
        {"cut inside the head", cutHead},
        {"kind byte only", {'S'}},
    };
    for (const Case& c : cases) {
        for (size_t chunk : {size_t{1}, size_t{64}, size_t{4096}}) {
            Collected got;
            Feed(got, c.bytes, chunk);
            EXPECT_FALSE(got.outOfMemory) << c.what;
            EXPECT_FALSE(got.reader.Empty()) << c.what;
            EXPECT_FALSE(got.reader.SceneComplete()) << c.what << " in reads of " << chunk;
        }
    }
}

TEST(ChildAnswer, EmptySceneIsCompleteAndNothingIsEmpty) {
    Collected scene;
    Feed(scene, SceneAnswer({}, 0), 3);
    EXPECT_TRUE(scene.reader.SceneComplete());
    EXPECT_TRUE(scene.reader.TakeBody().empty());

    Collected nothing;
    EXPECT_TRUE(nothing.reader.Empty());
    EXPECT_FALSE(nothing.reader.SceneComplete());
}

TEST(ChildAnswer, AHugeAnnouncedLengthHoldsOnlyWhatArrives) {
    const std::vector<uint8_t> body = Body(16);
    for (uint64_t announced : {~uint64_t{0}, uint64_t{1} << 62, uint64_t{1} << 40}) {
        Collected c;
        Feed(c, SceneAnswer(body, announced), 4096);
        EXPECT_FALSE(c.outOfMemory) << announced;
        EXPECT_FALSE(c.reader.SceneComplete()) << announced;
        EXPECT_EQ(c.reader.TakeBody(), body) << announced;
    }
}

TEST(ChildAnswer, ErrorTextIsCollectedToTheEnd) {
    const std::string text(10000, 'x');  // longer than the first error buffer
    for (size_t chunk : {size_t{1}, size_t{100}, size_t{1} << 16}) {
        std::vector<uint8_t> bytes = {kvoscene::kErrorFollows};
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes[5000] = 'y';
        Collected c;
        Feed(c, bytes, chunk);
        EXPECT_FALSE(c.outOfMemory);
        EXPECT_EQ(c.reader.Kind(), kvoscene::kErrorFollows);
        EXPECT_FALSE(c.reader.SceneComplete());
        const std::vector<uint8_t> got = c.reader.TakeBody();
        EXPECT_EQ(std::string(got.begin(), got.end()), std::string(bytes.begin() + 1, bytes.end()))
            << chunk;
    }
}

}  // namespace
