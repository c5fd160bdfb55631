#include <gtest/gtest.h>
#include <objbase.h>

#include <cstring>

namespace {

ULONGLONG SeekTo(IStream* s, LONGLONG move, DWORD origin) {
    LARGE_INTEGER li;
    li.QuadPart = move;
    ULARGE_INTEGER pos;
    pos.QuadPart = ~0ull;
    EXPECT_EQ(S_OK, s->Seek(li, origin, &pos));
    return pos.QuadPart;
}

}  // namespace

TEST(MemoryStream, WriteSeekAndShortReads) {
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ULONG done = 0;
    ASSERT_EQ(S_OK, stream->Write("0123456789", 10, &done));
    EXPECT_EQ(10u, done);

    char buf[16] = {};
    EXPECT_EQ(2u, SeekTo(stream, 2, STREAM_SEEK_SET));
    ASSERT_EQ(S_OK, stream->Read(buf, 3, &done));
    EXPECT_EQ(3u, done);
    EXPECT_EQ(0, std::memcmp(buf, "234", 3));

    // Reading past the end is not an error: it returns what is there.
    EXPECT_EQ(8u, SeekTo(stream, -2, STREAM_SEEK_END));
    ASSERT_EQ(S_OK, stream->Read(buf, sizeof buf, &done));
    EXPECT_EQ(2u, done);
    EXPECT_EQ(0, std::memcmp(buf, "89", 2));
    ASSERT_EQ(S_OK, stream->Read(buf, sizeof buf, &done));
    EXPECT_EQ(0u, done);

    // A position before the start is refused and the position stays.
    LARGE_INTEGER back;
    back.QuadPart = -11;
    EXPECT_EQ(STG_E_INVALIDFUNCTION, stream->Seek(back, STREAM_SEEK_CUR, nullptr));
    EXPECT_EQ(10u, SeekTo(stream, 0, STREAM_SEEK_CUR));

    // A write past the end grows the stream (what the gap holds is not specified).
    SeekTo(stream, 2, STREAM_SEEK_END);
    ASSERT_EQ(S_OK, stream->Write("AB", 2, nullptr));
    EXPECT_EQ(14u, SeekTo(stream, 0, STREAM_SEEK_END));
    SeekTo(stream, 12, STREAM_SEEK_SET);
    ASSERT_EQ(S_OK, stream->Read(buf, sizeof buf, &done));
    EXPECT_EQ(2u, done);
    EXPECT_EQ(0, std::memcmp(buf, "AB", 2));

    ULARGE_INTEGER size;
    size.QuadPart = 4;
    ASSERT_EQ(S_OK, stream->SetSize(size));
    EXPECT_EQ(4u, SeekTo(stream, 0, STREAM_SEEK_END));

    ISequentialStream* sequential = nullptr;
    ASSERT_EQ(S_OK, stream->QueryInterface(IID_ISequentialStream, reinterpret_cast<void**>(&sequential)));
    sequential->Release();
    EXPECT_EQ(0u, stream->Release());
}
