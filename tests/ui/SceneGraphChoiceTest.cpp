// Which renderer Qt Quick draws with: software exactly where OpenGL could only be a software
// rasterizer, and never against the user's own choice.

#include "SceneGraphChoice.h"

#include "../unit/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

namespace tessera::shell {
namespace {

TEST(SceneGraphChoiceTest, SoftwareOnlyWhereNoGpuCanDrawAndTheUserDidNotChoose) {
    // chosen by the user, LIBGL_ALWAYS_SOFTWARE, a DRM device, NVIDIA's device -> software
    const std::tuple<bool, const char*, bool, bool, bool> cases[] = {
        {false, "", false, false, true},   {false, "", true, false, false},
        {false, "", false, true, false},   {true, "", false, false, false},
        {true, "1", false, false, false},  {false, "1", true, false, true},
        {false, "Yes", false, true, true}, {false, "0", true, false, false},
    };
    for (const auto& [chosen, forced, drm, nvidia, software] : cases) {
        SCOPED_TRACE(testing::Message() << "chosen " << chosen << " forced '" << forced << "' drm "
                                        << drm << " nvidia " << nvidia);
        EXPECT_EQ(preferSoftwareRenderer(GraphicsHints{chosen, forced, drm, nvidia}), software);
    }
}

TEST(SceneGraphChoiceTest, DevicesAreReadFromTheDeviceFolder) {
    test::TempDir devices;
    EXPECT_FALSE(graphicsHints(devices.path()).drmDevice) << "no dri folder";
    std::filesystem::create_directory(devices / "dri");
    EXPECT_FALSE(graphicsHints(devices.path()).drmDevice) << "an empty dri folder";
    std::ofstream(devices / "dri" / "renderD128").put('\0');
    std::ofstream(devices / "nvidiactl").put('\0');
    const auto hints = graphicsHints(devices.path());
    EXPECT_TRUE(hints.drmDevice);
    EXPECT_TRUE(hints.nvidiaDevice);
}

} // namespace
} // namespace tessera::shell
