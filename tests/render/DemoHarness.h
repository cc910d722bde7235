// Runs the demo's own initialisation, frames and teardown on the headless
// context inside a fresh working directory, with either a copy of the shipped
// data or small probe data whose shaders make the passes' inputs visible.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Config.h"
#include "app/Shell.h"
#include "gl/Extensions.h"
#include "gl/GlApi.h"
#include "gl/RenderTargets.h"
#include "render/DemoState.h"
#include "tests/render/Pictures.h"
#include "tests/support/HeadlessGl.h"
#include "tests/support/TestDir.h"

namespace demo_harness {

// Every file the demo reads, relative to its working directory.
inline const std::vector<std::string>& demoFiles() {
  static const std::vector<std::string> files = {"config.cfg",
                                                 "scene/nprscene.scn",
                                                 "scene/waypoints.txt",
                                                 "Models/capsuleman.txt",
                                                 "Textures/water_normal3.bmp",
                                                 "Textures/hatch2.bmp",
                                                 "Textures/hatch1.bmp",
                                                 "Textures/water_normal4.bmp",
                                                 "Shaders/npr1.vsh",
                                                 "Shaders/npr1.fsh",
                                                 "Shaders/npr2.fsh",
                                                 "Shaders/normout.vsh",
                                                 "Shaders/normout.fsh",
                                                 "Shaders/colout.vsh",
                                                 "Shaders/colout.fsh",
                                                 "Shaders/depthout.vsh",
                                                 "Shaders/depthout.fsh",
                                                 "Shaders/water.vsh",
                                                 "Shaders/water.fsh"};
  return files;
}

inline std::vector<std::string> missingShippedFiles() {
  std::vector<std::string> missing;
  for (const std::string& name : demoFiles())
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

// A 24-bit bitmap with the 40-byte header, one solid colour.
inline void writeSolidBitmap(const std::string& name, unsigned char r, unsigned char g,
                             unsigned char b, int size = 8) {
  std::string file(54, '\0');
  auto put = [&file](size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(size * size * 3);
  file[0] = 'B';
  file[1] = 'M';
  put(2, 54 + pixelBytes, 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<std::uint32_t>(size), 4);
  put(22, static_cast<std::uint32_t>(size), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  put(34, pixelBytes, 4);
  for (int i = 0; i < size * size; ++i) {
    file.push_back(static_cast<char>(b));
    file.push_back(static_cast<char>(g));
    file.push_back(static_cast<char>(r));
  }
  TestDir::write(name, file);
}

// Probe data: shaders that show what each pass receives, solid-colour
// textures (0 red, 1 green, 2 magenta, 3 yellow), no scene and no characters.
// Every uniform takes part in the output so that none is optimised away.
inline void writeProbeData() {
  TestDir::write("config.cfg", "1024 768\n");
  writeSolidBitmap("Textures/water_normal3.bmp", 255, 0, 0);
  writeSolidBitmap("Textures/hatch2.bmp", 0, 255, 0);
  writeSolidBitmap("Textures/hatch1.bmp", 255, 0, 255);
  writeSolidBitmap("Textures/water_normal4.bmp", 255, 255, 0);
  const std::string vertex =
      "#version 110\n"
      "void main() { gl_TexCoord[0] = gl_MultiTexCoord0; gl_FrontColor = gl_Color;\n"
      "  gl_Position = ftransform(); }\n";
  // Zero for every value a test sets; keeps the uniforms alive.
  const std::string keep = "float keep(vec4 v) { return step(1e9, abs(dot(v, vec4(1.0)))); }\n";
  for (const char* name : {"npr1", "normout", "colout", "depthout", "water"})
    TestDir::write(std::string("Shaders/") + name + ".vsh", vertex);
  TestDir::write("Shaders/depthout.fsh", "#version 110\nuniform vec4 lightPos;\n" + keep +
                                             "void main() { gl_FragColor = vec4(gl_FragCoord.z)"
                                             " + keep(lightPos); }\n");
  TestDir::write("Shaders/colout.fsh",
                 "#version 110\nuniform vec4 lightPos;\nuniform sampler2D shadowMap;\n" + keep +
                     "void main() { gl_FragColor = vec4(gl_Color.rgb, 1.0)"
                     " + keep(lightPos + texture2D(shadowMap, vec2(0.5))); }\n");
  TestDir::write("Shaders/normout.fsh",
                 "#version 110\nuniform vec4 lightPos;\nuniform vec4 camPos;\n" + keep +
                     "void main() { gl_FragColor = vec4(1.0, 0.0, 1.0, 1.0)"
                     " + keep(lightPos + camPos); }\n");
  TestDir::write(
      "Shaders/water.fsh",
      "#version 110\nuniform sampler2D normalMap;\nuniform vec4 lightPos;\n"
      "uniform vec4 camPos;\nuniform float waterMove;\n" +
          keep +
          "void main() { vec3 n = texture2D(normalMap, gl_TexCoord[0].st).rgb;\n"
          "  gl_FragColor = vec4(n.rg, fract(waterMove), 1.0) + keep(lightPos + camPos); }\n");
  // Style 1: the window split in quarters across, one sampler each.
  TestDir::write(
      "Shaders/npr1.fsh",
      "#version 110\nuniform sampler2D colormap, normalmap, hatchmap0, hatchmap1;\n"
      "void main() { vec2 uv = gl_TexCoord[0].st;\n"
      "  vec3 c = uv.x < 0.25 ? texture2D(colormap, uv).rgb\n"
      "         : uv.x < 0.5 ? texture2D(normalmap, uv).rgb\n"
      "         : uv.x < 0.75 ? texture2D(hatchmap0, uv).rgb : texture2D(hatchmap1, uv).rgb;\n"
      "  gl_FragColor = vec4(c, 1.0); }\n");
  // Styles 2 and 3: the upper half encodes the layer's uniforms, the lower
  // half shows the four samplers in quarters.
  TestDir::write(
      "Shaders/npr2.fsh",
      "#version 110\nuniform sampler2D colormap, hatchmap, sheetmap, shadowhatch;\n"
      "uniform vec4 hatchOffset;\nuniform float hatchScale;\nuniform vec4 pencilColor;\n"
      "uniform float edgeSize;\n"
      "void main() { vec2 uv = gl_TexCoord[0].st;\n"
      "  if (uv.y > 0.5) {\n"
      "    gl_FragColor = vec4(1.0 - hatchScale * 10.0, 1.0 - hatchOffset.x * 0.5,\n"
      "                        pencilColor.b, 1.0 - edgeSize * 100.0);\n"
      "    return; }\n"
      "  vec3 c = uv.x < 0.25 ? texture2D(colormap, uv).rgb\n"
      "         : uv.x < 0.5 ? texture2D(hatchmap, uv).rgb\n"
      "         : uv.x < 0.75 ? texture2D(sheetmap, uv).rgb : texture2D(shadowhatch, uv).rgb;\n"
      "  gl_FragColor = vec4(c, 1.0); }\n");
}

inline std::string logText() { return TestDir::readLog(); }

// Entries of the log that begin with the prefix.
inline int countEntries(const std::string& log, const std::string& prefix) {
  int count = 0;
  size_t at = 0;
  while ((at = log.find(prefix, at)) != std::string::npos) {
    if (at == 0 || log[at - 1] == '\n') ++count;
    at += prefix.size();
  }
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
inline Picture readTarget(int index) {
  Picture picture;
  picture.width = picture.height = renderTargets.size(index);
  picture.rgba.resize(static_cast<size_t>(picture.width) * picture.height * 4);
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glBindTexture(GL_TEXTURE_2D, renderTargets.texture(index));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  return picture;
}

// The depth buffer of a render target, bottom row first, 0..1.
inline std::vector<float> readTargetDepth(int index) {
  const int size = renderTargets.size(index);
  std::vector<float> depth(static_cast<size_t>(size) * size);
  renderTargets.bind(index);
  glReadPixels(0, 0, size, size, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  renderTargets.unbind();
  return depth;
}

// Saves a picture beside the test binary's build, for looking at failures.
inline void keepPicture(const Picture& picture, const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(NPR_BINARY_DIR) / "render-pictures";
  std::filesystem::create_directories(dir);
  writePicture(picture, (dir / (name + ".png")).string());
}

// The demo between initDemo and shutdownDemo, on the headless context.
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
    compositeStyle = 1;
    stereoEnabled = 0;
    eyeOffset = 0.0f;
    waterMove = 0.0f;
    running = initDemo(&window, &keys);
  }
  void stop() {
    if (!running) return;
    shutdownDemo();
    running = false;
  }
  // Draws frames with the given look, as the loop would without updates.
  void frames(int count, int style, int stereo) {
    compositeStyle = style;
    stereoEnabled = static_cast<std::uint8_t>(stereo);
    for (int i = 0; i < count; ++i) drawFrame();
  }

  RenderWindow window;
  KeyStates keys;
  bool running = false;
};

}  // namespace demo_harness
