#include "io/FileStream.h"
#include "io/MemoryStream.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace volumira;
using volumira::test::errorOf;

namespace {} // namespace

TEST(MemoryStream, BoundsAreCheckedAgainstTheBufferEnd) {
    const std::string readEnd = "Unexpected end of stream while reading.";
    const std::string writeEnd = "Unexpected end of stream while writing.";
    const std::string seekEnd = "Cannot seek past end of stream.";
    struct Case {
        const char* name;
        std::function<void(MemoryStream&)> op;
        std::string error;
        std::int32_t positionAfter;
    };
    char buffer[16] = {};
    const Case cases[] = {
        {"read to the end", [&](MemoryStream& s) { s.read(buffer, 4); }, "", 10},
        {"read past the end", [&](MemoryStream& s) { s.read(buffer, 5); }, readEnd, 6},
        {"write to the end", [&](MemoryStream& s) { s.write(buffer, 4); }, "", 10},
        {"write past the end", [&](MemoryStream& s) { s.write(buffer, 5); }, writeEnd, 6},
        {"seek to the end", [](MemoryStream& s) { s.seek(10); }, "", 10},
        {"seek past the end", [](MemoryStream& s) { s.seek(11); }, seekEnd, 6},
        {"seek before the start", [](MemoryStream& s) { s.seek(-1); }, seekEnd, 6},
        {"skip to the end", [](MemoryStream& s) { s.skip(4); }, "", 10},
        {"skip past the end", [](MemoryStream& s) { s.skip(5); }, seekEnd, 6},
        {"skip back to the start", [](MemoryStream& s) { s.skip(-6); }, "", 0},
        {"skip before the start", [](MemoryStream& s) { s.skip(-7); }, seekEnd, 6},
    };
    for (const Case& c : cases) {
        MemoryStream stream(10);
        stream.seek(6);
        EXPECT_EQ(errorOf([&] { c.op(stream); }), c.error) << c.name;
        EXPECT_EQ(stream.tell(), c.positionAfter) << c.name;
    }
}

TEST(MemoryStream, ResizeKeepsOrClampsTheCursorAndZeroFills) {
    MemoryStream stream(10);
    stream.seek(6);
    stream.resize(4);
    EXPECT_EQ(stream.tell(), 4);
    stream.seek(0);
    stream.resize(20);
    stream.seek(6);
    stream.resize(30);
    EXPECT_EQ(stream.tell(), 6);
    EXPECT_EQ(stream.size(), 30u);
    for (std::size_t i = 0; i < stream.size(); ++i)
        EXPECT_EQ(stream.data()[i], 0) << i;
}

TEST(MemoryStream, IntegersAreLittleEndianTwosComplement) {
    MemoryStream stream(13);
    stream.writeInt32(0x12345678);
    stream.writeInt32(-2);
    stream.writeInt32(INT32_MIN);
    stream.writeByte(0xAB);
    const std::uint8_t expected[13] = {0x78, 0x56, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0xAB};
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.data()), 13),
              std::string(reinterpret_cast<const char*>(expected), 13));
    stream.seek(0);
    EXPECT_EQ(stream.readInt32(), 0x12345678);
    EXPECT_EQ(stream.readInt32(), -2);
    EXPECT_EQ(stream.readInt32(), INT32_MIN);
    EXPECT_EQ(stream.readByte(), 0xAB);
}

TEST(MemoryStream, StringsCarryALengthByteAndRefuseLongText) {
    MemoryStream stream(300);
    const std::string longest(255, 'x');
    stream.writeString(longest);
    EXPECT_EQ(stream.tell(), 256);
    const std::string tooLong(256, 'y');
    EXPECT_EQ(errorOf([&] { stream.writeString(tooLong); }),
              "Could not write string to stream. The string was too long: " + tooLong);
    EXPECT_EQ(stream.tell(), 256) << "nothing written for a refused string";
    stream.writeString("");
    stream.writeString("µm");

    stream.seek(0);
    std::string text = "kept";
    stream.readString(text);
    EXPECT_EQ(text, longest);
    text = "kept";
    stream.readString(text);
    EXPECT_EQ(text, "kept") << "an empty stored string leaves the destination as it was";
    stream.readString(text);
    EXPECT_EQ(text, "µm");
}

TEST(MemoryStream, TruncatedStringIsAnError) {
    MemoryStream stream(3);
    stream.writeByte(5);
    stream.writeByte('a');
    stream.seek(0);
    std::string text = "unchanged";
    EXPECT_EQ(errorOf([&] { stream.readString(text); }), "Unexpected end of stream while reading.");
    EXPECT_EQ(text, "unchanged");
}

TEST(FileStream, RoundTripsTheEncodingThroughAFile) {
    test::TempDir dir;
    const std::string path = dir.file("stream.bin");
    {
        FileStream out(path, FileStream::Mode::WriteBinary);
        out.writeInt32(-123456);
        out.writeString("Gad1");
        out.writeByte(7);
        EXPECT_EQ(out.tell(), 10);
        out.close();
        out.close(); // closing twice is harmless
    }
    FileStream in(path, FileStream::Mode::ReadBinary);
    in.skip(4);
    std::string symbol;
    in.readString(symbol);
    EXPECT_EQ(symbol, "Gad1");
    EXPECT_EQ(in.readByte(), 7);
    in.seek(0);
    EXPECT_EQ(in.readInt32(), -123456);
}

TEST(FileStream, FailuresCarryTheirMessages) {
    test::TempDir dir;
    const std::string path = dir.file("short.bin");
    test::writeBytes(path, "abc");
    EXPECT_EQ(errorOf([&] { FileStream s(dir.file("missing"), FileStream::Mode::ReadBinary); }),
              "File could not be opened.");
    EXPECT_EQ(errorOf([&] { FileStream s(dir.file("no/such/dir/x"), FileStream::Mode::WriteBinary); }),
              "File could not be opened.");
    FileStream in(path, FileStream::Mode::ReadBinary);
    EXPECT_EQ(errorOf([&] { in.readInt32(); }), "Error while reading file.");
    EXPECT_EQ(errorOf([&] { in.seek(-1); }), "File seek failed.");
    EXPECT_EQ(errorOf([&] { in.writeByte(1); }), "File could not be written.");
    in.close();
    EXPECT_EQ(errorOf([&] { in.readByte(); }), "Error while reading file.");
    EXPECT_EQ(errorOf([&] { in.tell(); }), "File could not be opened.");
}
