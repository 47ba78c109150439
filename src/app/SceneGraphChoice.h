#pragma once

#include <filesystem>
#include <string>

namespace tessera::shell {

// What decides whether OpenGL would run on a software rasterizer here.
struct GraphicsHints {
    // QT_QUICK_BACKEND or QSG_RHI_BACKEND is set: the user chose how Qt Quick draws.
    bool backendChosen = false;
    // LIBGL_ALWAYS_SOFTWARE as set (empty when unset).
    std::string alwaysSoftware;
    // A DRM device (/dev/dri/*), through which every Mesa GPU driver works.
    bool drmDevice = false;
    // NVIDIA's own driver, which works without one.
    bool nvidiaDevice = false;
};

// The hints of this machine and environment; `devices` is /dev.
GraphicsHints graphicsHints(const std::filesystem::path& devices = "/dev");

// Whether Qt Quick should draw with its own software renderer. Where OpenGL can only run on a
// software rasterizer (Mesa's llvmpipe: a machine or virtual machine without a GPU, a container,
// a remote session), the software renderer draws the same scenes with the raster paint engine:
// it repaints only what changed instead of whole frames, and spares the rasterizer's JIT compiler
// and buffers, which hold more memory than the rest of the program (about 90 MiB here). Asking
// OpenGL itself would load that compiler to find out, so the devices decide. A user's choice of
// backend always stands.
bool preferSoftwareRenderer(const GraphicsHints& hints);

// Applies the choice; call before any Qt Quick window exists. Returns whether software was chosen.
bool chooseSceneGraphBackend();

} // namespace tessera::shell
