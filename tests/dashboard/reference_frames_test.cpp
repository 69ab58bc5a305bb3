// Whole frames drawn from fixed states, compared pixel for pixel with the frames stored under
// tests/dashboard/reference/ (arm64 builds: reference/arm64/). They are the picture any later
// change (speed work included) must keep. Set KV_REGENERATE_REFERENCE=1 to write the frames anew
// instead of comparing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "frame_render.h"

namespace {
// Exact. Mesa's llvmpipe drew these frames bit for bit alike in every run tried: repeated, in
// shuffled test order, with one rasteriser thread, with 128-bit vectors instead of 256, on screens
// of other sizes. Another rasteriser (softpipe) differs in some 2,000 edge pixels a frame, so the
// frames belong to llvmpipe; any slack here would only hide a moved edge.
constexpr int channelTolerance = 0;
constexpr std::size_t pixelTolerance = 0;

const std::string referenceFolder = std::string(KV_SOURCE_DIR) + "/tests/dashboard/reference/";

// On arm64, FreeType and llvmpipe round the edges of glyphs a little differently (by at most
// 4/255, on a few thousand pixels a frame), and nothing else: the arm64 frames are a set of their
// own, exact in the same way, and must show the picture of the amd64 set but for that rounding.
#if defined(__aarch64__)
const std::string architectureFolder = referenceFolder + "arm64/";
constexpr int glyphEdgeRounding = 4;
#else
const std::string architectureFolder = referenceFolder;
#endif

std::string referencePath(const std::string& name) {
    return architectureFolder + name + ".png";
}

bool regenerating() {
    const char* flag = std::getenv("KV_REGENERATE_REFERENCE");
    return flag != nullptr && std::string(flag) == "1";
}

class ReferenceFrame : public ::testing::TestWithParam<Scene> {};

TEST_P(ReferenceFrame, MatchesTheStoredFrame) {
    const Scene& scene = GetParam();
    GlContext gl;
    std::string why;
    ASSERT_TRUE(openGlContext(gl, scene.width, scene.height, &why)) << why;
    const Image frame = drawSceneFrame(gl, scene, &why);
    releaseDashboard();
    closeGlContext(gl);
    resetDashboardState();
    ASSERT_EQ(frame.width, scene.width) << why;

    const std::string path = referencePath(scene.name);
    if (regenerating()) {
        ASSERT_TRUE(savePng(frame, path, &why)) << why;
        GTEST_SKIP() << "wrote " << path;
    }
    Image reference;
    ASSERT_TRUE(loadPng(path, reference, &why)) << why;
    const std::size_t different = countDifferentPixels(frame, reference, channelTolerance);
    if (different > pixelTolerance) {
        savePng(frame, std::string(::testing::TempDir()) + "/" + scene.name + ".actual.png");
    }
    EXPECT_LE(different, pixelTolerance)
        << scene.name << ": the frame as drawn is kept as " << ::testing::TempDir() << "/"
        << scene.name << ".actual.png";
#if defined(__aarch64__)
    Image amd64;
    ASSERT_TRUE(loadPng(referenceFolder + scene.name + ".png", amd64, &why)) << why;
    EXPECT_EQ(countDifferentPixels(frame, amd64, glyphEdgeRounding), 0u)
        << scene.name << " differs from the amd64 frame by more than the rounding of glyph edges";
#endif
}

INSTANTIATE_TEST_SUITE_P(Dashboard, ReferenceFrame, ::testing::ValuesIn(referenceScenes()),
                         [](const ::testing::TestParamInfo<Scene>& info) {
                             return info.param.name;
                         });
} // namespace
