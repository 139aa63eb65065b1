#include "worker_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string CrashBytes(uint64_t seq, uint32_t code) {
    uint8_t frame[kCrashFrameBytes];
    const size_t size = EncodeCrash({seq, code}, frame);
    return std::string(reinterpret_cast<const char*>(frame), size);
}

// Every frame type in one stream, fed one byte at a time: each comes out whole, once.
TEST(WorkerProtocol, FramesSurviveTheStreamByteByByte) {
    FileRequest request;
    request.seq = 0x0102030405060708ull;
    request.pathUtf16 = std::string("Z\0:\0\\\0\xE9\0\x3D\xD8", 10);  // zeros and a lone surrogate
    WorkerHello hello;
    hello.ready = false;
    hello.why = "cannot load Z:\\x\\Assayer.dll";
    hello.signatures = {{12, "12 added; 3 skipped"}, {-1, "cannot open Z:\\y.txt"}};
    FileAnswer answer;
    answer.seq = 77;
    answer.verdict.verdict = Verdict::kSuspicious;
    answer.verdict.score = -40;
    answer.verdict.hits = "CFM";
    answer.verdict.size = 0x123456789ull;
    answer.verdict.milliseconds = 1.25;
    FileAnswer failed;
    failed.seq = 78;
    failed.verdict.verdict = Verdict::kError;
    failed.verdict.error = "cannot open: Access denied. (error 5)";

    const std::string stream = EncodeFileRequest(request) + EncodeHello(hello) +
                               EncodeAnswer(answer) + EncodeAnswer(failed) +
                               CrashBytes(kNoFile, 0xC00000FD);
    FrameReader reader;
    std::vector<Frame> frames;
    for (char byte : stream) {
        reader.Append(&byte, 1);
        Frame frame;
        FrameReader::Status status;
        while ((status = reader.Next(&frame)) == FrameReader::Status::kFrame) {
            frames.push_back(frame);
        }
        ASSERT_EQ(status, FrameReader::Status::kNeedMore);
    }
    EXPECT_EQ(reader.Pending(), 0u);
    ASSERT_EQ(frames.size(), 5u);

    EXPECT_EQ(frames[0].type, FrameType::kFile);
    EXPECT_EQ(frames[0].file.seq, request.seq);
    EXPECT_EQ(frames[0].file.pathUtf16, request.pathUtf16);

    EXPECT_EQ(frames[1].type, FrameType::kHello);
    EXPECT_FALSE(frames[1].hello.ready);
    EXPECT_EQ(frames[1].hello.why, hello.why);
    ASSERT_EQ(frames[1].hello.signatures.size(), 2u);
    EXPECT_EQ(frames[1].hello.signatures[0].added, 12);
    EXPECT_EQ(frames[1].hello.signatures[1].added, -1);
    EXPECT_EQ(frames[1].hello.signatures[1].message, "cannot open Z:\\y.txt");

    const FileVerdict& v = frames[2].answer.verdict;
    EXPECT_EQ(frames[2].answer.seq, 77u);
    EXPECT_EQ(v.verdict, Verdict::kSuspicious);
    EXPECT_EQ(v.score, -40);
    EXPECT_EQ(v.hits, "CFM");
    EXPECT_EQ(v.size, 0x123456789ull);
    EXPECT_DOUBLE_EQ(v.milliseconds, 1.25);
    EXPECT_EQ(frames[3].answer.verdict.verdict, Verdict::kError);
    EXPECT_EQ(frames[3].answer.verdict.error, failed.verdict.error);

    EXPECT_EQ(frames[4].type, FrameType::kCrash);
    EXPECT_EQ(frames[4].crash.seq, kNoFile);
    EXPECT_EQ(frames[4].crash.code, 0xC00000FDu);
}

// A frame whose bytes were given as `body` after a length that says `length`.
std::string Raw(uint32_t length, const std::string& body) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(length >> (8 * i));
    return bytes + body;
}

TEST(WorkerProtocol, GarbageBreaksTheStreamForGood) {
    const std::string good = EncodeAnswer(FileAnswer());
    std::string longText = good;
    longText[4 + 1 + 8 + 1 + 4 + 8 + 8] = '\x7F';  // the hits' length runs past the frame
    std::string badVerdict = good;
    badVerdict[4 + 1 + 8] = 3;  // no such verdict
    const std::string cases[] = {
        Raw(0, ""),                                         // no type
        Raw(kMostFrameBytes + 1, "V"),                      // longer than any frame may be
        Raw(1, "Q"),                                        // unknown type
        Raw(2, std::string("X\x01", 2)),                    // a crash report cut short
        Raw(14, std::string("X") + std::string(13, '\0')),  // one byte too many
        longText,
        badVerdict,
    };
    for (const std::string& bytes : cases) {
        FrameReader reader;
        reader.Append(bytes.data(), bytes.size());
        reader.Append(good.data(), good.size());
        Frame frame;
        EXPECT_EQ(reader.Next(&frame), FrameReader::Status::kBroken)
            << testing::PrintToString(bytes);
        EXPECT_EQ(reader.Next(&frame), FrameReader::Status::kBroken) << "and stays broken";
    }
}

TEST(WorkerProtocol, ALongStreamDoesNotKeepWhatWasRead) {
    FileRequest request;
    request.pathUtf16 = std::string(2000, 'a');
    const std::string frame = EncodeFileRequest(request);
    FrameReader reader;
    Frame out;
    for (int i = 0; i < 1000; ++i) {
        request.seq = static_cast<uint64_t>(i);
        const std::string bytes = EncodeFileRequest(request);
        reader.Append(bytes.data(), bytes.size());
        ASSERT_EQ(reader.Next(&out), FrameReader::Status::kFrame);
        ASSERT_EQ(out.file.seq, static_cast<uint64_t>(i));
    }
    EXPECT_EQ(reader.Pending(), 0u);
    EXPECT_EQ(frame.size(), 4u + 1 + 8 + 4 + 2000);
}

}  // namespace
