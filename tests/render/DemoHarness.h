// Runs the demo's own initialisation, frames and teardown on the headless
// context inside a fresh working directory, with either a copy of the shipped
// data or small probe data whose shaders make the passes' inputs visible.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Config.h"
#include "contract/DemoContract.h"
#include "gl/Extensions.h"
#include "gl/GlApi.h"
#include "gl/RenderTargets.h"
#include "render/Demo.h"
#include "render/DemoRecord.h"
#include "render/FramePasses.h"
#include "tools/headless/Pictures.h"
#include "tests/support/HeadlessGl.h"
#include "tests/support/TestDir.h"

namespace demo_harness {

// The shipped files, relative to the data folder, that the demo cannot run without.
inline std::vector<std::string> missingShippedFiles() {
  std::vector<std::string> missing;
  for (const char* name :
       {"config.cfg", "scene/nprscene.scn", "scene/waypoints.txt", "Models/capsuleman.txt",
        "Textures/water_normal3.bmp", "Textures/hatch2.bmp", "Textures/hatch1.bmp",
        "Textures/water_normal4.bmp", "Shaders/npr1.vsh", "Shaders/npr1.fsh", "Shaders/npr2.fsh",
        "Shaders/normout.vsh", "Shaders/normout.fsh", "Shaders/colout.vsh", "Shaders/colout.fsh",
        "Shaders/depthout.vsh", "Shaders/depthout.fsh", "Shaders/water.vsh", "Shaders/water.fsh"})
    if (!std::filesystem::exists(std::filesystem::path(NPR_DATA_DIR) / name))
      missing.push_back(name);
  return missing;
}

// Copies the shipped data into the current directory.
inline void copyShippedData() {
  namespace fs = std::filesystem;
  fs::copy(NPR_DATA_DIR, fs::current_path(),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

// A 24-bit bitmap with the 40-byte header, one solid colour, 8 x 8.
inline void writeSolidBitmap(const std::string& name, unsigned char r, unsigned char g,
                             unsigned char b) {
  std::string file = "BM";
  for (std::uint32_t value :
       {54u + 192u, 0u, 54u, 40u, 8u, 8u, 1u | 24u << 16, 0u, 192u, 0u, 0u, 0u, 0u})
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<char>(value >> (8 * i)));
  for (int i = 0; i < 64; ++i)
    file += {static_cast<char>(b), static_cast<char>(g), static_cast<char>(r)};
  TestDir::write(name, file);
}

// Probe data: shaders that show what each pass receives, solid-colour
// textures (0 red, 1 green, 2 magenta, 3 yellow), no scene and no characters.
inline void writeProbeData() {
  TestDir::write("config.cfg", "1024 768\n");
  writeSolidBitmap("Textures/water_normal3.bmp", 255, 0, 0);
  writeSolidBitmap("Textures/hatch2.bmp", 0, 255, 0);
  writeSolidBitmap("Textures/hatch1.bmp", 255, 0, 255);
  writeSolidBitmap("Textures/water_normal4.bmp", 255, 255, 0);
  for (const char* name : {"npr1", "normout", "colout", "depthout", "water"})
    TestDir::write(std::string("Shaders/") + name + ".vsh",
                   "#version 110\nvoid main() { gl_TexCoord[0] = gl_MultiTexCoord0;\n"
                   "  gl_FrontColor = gl_Color; gl_Position = ftransform(); }\n");
  // keep() is zero for every value a test sets and keeps the uniforms alive.
  auto fragment = [](const char* name, const std::string& source) {
    TestDir::write(std::string("Shaders/") + name + ".fsh",
                   "#version 110\n"
                   "float keep(vec4 v) { return step(1e9, abs(dot(v, vec4(1.0)))); }\n" +
                       source);
  };
  // The window split in quarters across, one sampler each.
  auto quarters = [](const std::string& a, const std::string& b, const std::string& c,
                     const std::string& d) {
    return "  vec3 c = uv.x < 0.25 ? texture2D(" + a + ", uv).rgb : uv.x < 0.5 ? texture2D(" + b +
           ", uv).rgb\n  : uv.x < 0.75 ? texture2D(" + c + ", uv).rgb : texture2D(" + d +
           ", uv).rgb;\n  gl_FragColor = vec4(c, 1.0); }\n";
  };
  fragment("depthout",
           "uniform vec4 lightPos;\n"
           "void main() { gl_FragColor = vec4(gl_FragCoord.z) + keep(lightPos); }\n");
  fragment("colout",
           "uniform vec4 lightPos;\nuniform sampler2D shadowMap;\n"
           "void main() { gl_FragColor = vec4(gl_Color.rgb, 1.0)"
           " + keep(lightPos + texture2D(shadowMap, vec2(0.5))); }\n");
  fragment("normout",
           "uniform vec4 lightPos, camPos;\n void main() {"
           " gl_FragColor = vec4(1.0, 0.0, 1.0, 1.0) + keep(lightPos + camPos); }\n");
  fragment("water",
           "uniform sampler2D normalMap;\nuniform vec4 lightPos, camPos;\n"
           "uniform float waterMove;\n"
           "void main() { vec3 n = texture2D(normalMap, gl_TexCoord[0].st).rgb;\n"
           "  gl_FragColor = vec4(n.rg, fract(waterMove), 1.0) + keep(lightPos + camPos); }\n");
  fragment("npr1",
           "uniform sampler2D colormap, normalmap, hatchmap0, hatchmap1;\n"
           "void main() { vec2 uv = gl_TexCoord[0].st;\n" +
               quarters("colormap", "normalmap", "hatchmap0", "hatchmap1"));
  // Styles 2 and 3: the upper half encodes the layer's uniforms.
  fragment("npr2",
           "uniform sampler2D colormap, hatchmap, sheetmap, shadowhatch;\n"
           "uniform vec4 hatchOffset, pencilColor;\nuniform float hatchScale, edgeSize;\n"
           "void main() { vec2 uv = gl_TexCoord[0].st;\n"
           "  if (uv.y > 0.5) {\n"
           "    gl_FragColor = vec4(1.0 - hatchScale * 10.0, 1.0 - hatchOffset.x * 0.5,\n"
           "                        pencilColor.b, 1.0 - edgeSize * 100.0);\n"
           "    return; }\n" +
               quarters("colormap", "hatchmap", "sheetmap", "shadowhatch"));
}

inline std::string logText() { return TestDir::readLog(); }

// Entries of the log that begin with the prefix.
inline int countEntries(const std::string& prefix) {
  int count = 0;
  for (const std::string& entry : TestDir::logEntries()) count += entry.rfind(prefix, 0) == 0;
  return count;
}

inline Picture readWindow() {
  Picture picture;
  picture.width = HeadlessGl::width();
  picture.height = HeadlessGl::height();
  picture.rgba = HeadlessGl::readWindow();
  return picture;
}

// The colour texture of an 8-bit render target.
inline Picture readTarget(const RenderTargetSet& targets, int index) {
  Picture picture;
  picture.width = picture.height = targets.size(index);
  picture.rgba.resize(static_cast<size_t>(picture.width) * picture.height * 4);
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glBindTexture(GL_TEXTURE_2D, targets.texture(index));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  return picture;
}

// The depth buffer of a render target, bottom row first, 0..1.
inline std::vector<float> readTargetDepth(RenderTargetSet& targets, int index) {
  const int size = targets.size(index);
  std::vector<float> depth(static_cast<size_t>(size) * size);
  targets.bind(index);
  glReadPixels(0, 0, size, size, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  targets.unbind();
  return depth;
}

// Saves a picture beside the test binary's build, for looking at failures.
inline void keepPicture(const Picture& picture, const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(NPR_BINARY_DIR) / "render-pictures";
  std::filesystem::create_directories(dir);
  writePicture(picture, (dir / (name + ".png")).string());
}

// The demo between initDemo and shutdownDemo on a record of its own, on the
// headless context.
class DemoSession {
 public:
  DemoSession() {
    window.keys = &keys;
    window.window = reinterpret_cast<ws::WindowHandle>(0x5151);
    window.width = HeadlessGl::width();
    window.height = HeadlessGl::height();
    window.visible = 1;
  }
  ~DemoSession() { stop(); }

  void start() {
    HeadlessGl::clearErrors();
    Config::instance().read();
    running = initDemo(demo, &window, &keys);
  }
  void stop() {
    if (!running) return;
    shutdownDemo(demo);
    running = false;
  }
  // Draws frames with the given look, as the loop would without updates;
  // plain frames with nothing left out or kept.
  void frames(int count, int style, int stereo, bool plain = false) {
    demo.compositeStyle = style;
    demo.stereoEnabled = static_cast<std::uint8_t>(stereo);
    for (int i = 0; i < count; ++i) drawFrame(demo, plain);
  }

  DemoRecord demo;
  RenderWindow window;
  KeyStates keys;
  bool running = false;
};

}  // namespace demo_harness
