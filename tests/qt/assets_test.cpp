// The logo and the icon, parsed byte by byte: the picture formats other
// programs (and the Windows build) rely on.
#include <QtCore/QFile>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "qt_test_env.h"

namespace quorvex::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readAsset(const std::string& name) {
    std::ifstream in(std::string(QUORVEX_ASSETS_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

unsigned be16(const Bytes& b, std::size_t at) { return b.at(at) << 8 | b.at(at + 1); }
unsigned le16(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t le32(const Bytes& b, std::size_t at) { return le16(b, at) | std::uint32_t(le16(b, at + 2)) << 16; }

// The start-of-frame markers of a JPEG up to its scan, with the frame's size.
struct JpegFrames {
    std::vector<unsigned> markers;
    unsigned width = 0, height = 0;
};

JpegFrames jpegFrames(const Bytes& jpeg) {
    JpegFrames frames;
    EXPECT_EQ(be16(jpeg, 0), 0xFFD8u) << "no start-of-image marker";
    for (std::size_t at = 2; at + 4 <= jpeg.size();) {
        EXPECT_EQ(jpeg[at], 0xFF) << "segment expected at " << at;
        const unsigned marker = be16(jpeg, at);
        if (marker == 0xFFDA) break;  // start of scan: the frame headers are all behind us
        const bool startOfFrame = marker >= 0xFFC0 && marker <= 0xFFCF && marker != 0xFFC4 &&
                                  marker != 0xFFC8 && marker != 0xFFCC;
        if (startOfFrame) {
            frames.markers.push_back(marker);
            frames.height = be16(jpeg, at + 5);
            frames.width = be16(jpeg, at + 7);
        }
        at += 2 + be16(jpeg, at + 2);
    }
    return frames;
}

TEST(Assets, LogoIsABaselineJpegOf179By179) {
    const Bytes logo = readAsset("logo.jpg");
    ASSERT_GT(logo.size(), 1000u);
    const JpegFrames frames = jpegFrames(logo);
    EXPECT_EQ(frames.markers, std::vector<unsigned>{0xFFC0}) << "one baseline frame, nothing progressive";
    EXPECT_EQ(frames.width, 179u);
    EXPECT_EQ(frames.height, 179u);
}

struct IconImage {
    unsigned width, height, colours, bits;
};

TEST(Assets, IconHoldsThreeWindowPicturesOfTheSizesAndDepths) {
    const Bytes icon = readAsset("icon.ico");
    ASSERT_GE(icon.size(), 6u);
    EXPECT_EQ(le16(icon, 0), 0u);
    EXPECT_EQ(le16(icon, 2), 1u) << "type 1 is an icon";
    ASSERT_EQ(le16(icon, 4), 3u);

    const IconImage expected[] = {{32, 32, 2, 1}, {32, 32, 16, 4}, {16, 16, 16, 4}};
    std::vector<bool> found(3, false);
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t entry = 6 + 16 * i;
        const IconImage image{icon.at(entry), icon.at(entry + 1), icon.at(entry + 2), le16(icon, entry + 6)};
        const std::uint32_t size = le32(icon, entry + 8), offset = le32(icon, entry + 12);
        ASSERT_LE(std::uint64_t(offset) + size, icon.size()) << "image " << i << " runs past the file";

        // The bitmap itself: header, palette, colour rows and mask rows, each row padded to 4 bytes.
        EXPECT_EQ(le32(icon, offset), 40u) << "BITMAPINFOHEADER";
        EXPECT_EQ(le32(icon, offset + 4), image.width);
        EXPECT_EQ(le32(icon, offset + 8), 2 * image.height) << "colour bits and mask";
        EXPECT_EQ(le16(icon, offset + 12), 1u) << "planes";
        EXPECT_EQ(le16(icon, offset + 14), image.bits);
        EXPECT_EQ(le32(icon, offset + 16), 0u) << "uncompressed";
        const auto rowBytes = [](unsigned width, unsigned bits) { return (width * bits + 31) / 32 * 4; };
        const std::uint32_t expectedSize = 40 + 4 * (1u << image.bits) +
                                           image.height * rowBytes(image.width, image.bits) +
                                           image.height * rowBytes(image.width, 1);
        EXPECT_EQ(size, expectedSize) << "image " << i;

        for (std::size_t k = 0; k < 3; ++k)
            if (expected[k].width == image.width && expected[k].height == image.height &&
                expected[k].colours == image.colours && expected[k].bits == image.bits)
                found[k] = true;
    }
    EXPECT_EQ(found, std::vector<bool>(3, true)) << "32x32 mono, 32x32 16 colours, 16x16 16 colours";
}

TEST(Assets, TheProgramCarriesTheSameFilesInside) {
    qtToolkit();  // registers the compiled-in resources
    for (const auto& [resource, file] : {std::pair{":/assets/logo", "logo.jpg"}, {":/assets/icon", "icon.ico"}}) {
        QFile inside(resource);
        ASSERT_TRUE(inside.open(QIODevice::ReadOnly)) << resource;
        const QByteArray data = inside.readAll();
        EXPECT_EQ(Bytes(data.begin(), data.end()), readAsset(file)) << resource;
    }
}

}  // namespace
}  // namespace quorvex::test
