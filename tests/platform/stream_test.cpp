#include <gtest/gtest.h>
#include <objbase.h>

#include <cstring>

namespace {

LARGE_INTEGER Offset(LONGLONG v) {
    LARGE_INTEGER li;
    li.QuadPart = v;
    return li;
}

ULONGLONG Position(IStream* s) {
    ULARGE_INTEGER pos;
    pos.QuadPart = ~0ull;
    EXPECT_EQ(S_OK, s->Seek(Offset(0), STREAM_SEEK_CUR, &pos));
    return pos.QuadPart;
}

ULONGLONG Size(IStream* s) {
    const ULONGLONG here = Position(s);
    ULARGE_INTEGER end;
    EXPECT_EQ(S_OK, s->Seek(Offset(0), STREAM_SEEK_END, &end));
    EXPECT_EQ(S_OK, s->Seek(Offset(static_cast<LONGLONG>(here)), STREAM_SEEK_SET, nullptr));
    return end.QuadPart;
}

}  // namespace

TEST(MemoryStream, WriteSeekAndShortReads) {
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));

    ULONG done = 0;
    ASSERT_EQ(S_OK, stream->Write("0123456789", 10, &done));
    EXPECT_EQ(10u, done);
    EXPECT_EQ(10u, Position(stream));

    char buf[16] = {};
    ULARGE_INTEGER pos;
    ASSERT_EQ(S_OK, stream->Seek(Offset(2), STREAM_SEEK_SET, &pos));
    EXPECT_EQ(2u, pos.QuadPart);
    ASSERT_EQ(S_OK, stream->Read(buf, 3, &done));
    EXPECT_EQ(3u, done);
    EXPECT_EQ(0, std::memcmp(buf, "234", 3));

    // Reading past the end is not an error: it returns what is there.
    ASSERT_EQ(S_OK, stream->Seek(Offset(-2), STREAM_SEEK_END, nullptr));
    ASSERT_EQ(S_OK, stream->Read(buf, sizeof buf, &done));
    EXPECT_EQ(2u, done);
    EXPECT_EQ(0, std::memcmp(buf, "89", 2));
    ASSERT_EQ(S_OK, stream->Read(buf, sizeof buf, &done));
    EXPECT_EQ(0u, done);

    // A position before the start is refused and the position is unchanged.
    EXPECT_EQ(STG_E_INVALIDFUNCTION, stream->Seek(Offset(-11), STREAM_SEEK_CUR, nullptr));
    EXPECT_EQ(10u, Position(stream));
    EXPECT_EQ(STG_E_INVALIDFUNCTION, stream->Seek(Offset(0), 3, nullptr));

    // A write past the end grows the stream (what the gap holds is not specified).
    ASSERT_EQ(S_OK, stream->Seek(Offset(2), STREAM_SEEK_END, nullptr));
    ASSERT_EQ(S_OK, stream->Write("AB", 2, nullptr));
    EXPECT_EQ(14u, Size(stream));
    ASSERT_EQ(S_OK, stream->Seek(Offset(9), STREAM_SEEK_SET, nullptr));
    ASSERT_EQ(S_OK, stream->Read(buf, sizeof buf, &done));
    ASSERT_EQ(5u, done);
    EXPECT_EQ('9', buf[0]);
    EXPECT_EQ(0, std::memcmp(buf + 3, "AB", 2));

    ULARGE_INTEGER size;
    size.QuadPart = 4;
    ASSERT_EQ(S_OK, stream->SetSize(size));
    EXPECT_EQ(4u, Size(stream));
    ASSERT_EQ(S_OK, stream->Seek(Offset(0), STREAM_SEEK_SET, nullptr));
    ASSERT_EQ(S_OK, stream->Read(buf, sizeof buf, &done));
    EXPECT_EQ(4u, done);

    ISequentialStream* sequential = nullptr;
    ASSERT_EQ(S_OK, stream->QueryInterface(IID_ISequentialStream, reinterpret_cast<void**>(&sequential)));
    sequential->Release();
    IPersist* persist = reinterpret_cast<IPersist*>(1);
    EXPECT_EQ(E_NOINTERFACE, stream->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
    EXPECT_EQ(nullptr, persist);

    EXPECT_EQ(0u, stream->Release());
}
