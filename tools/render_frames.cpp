// Renders frames of the demo without a screen and writes the window's picture.
// It runs the demo's own initialisation on a copy of the data, with the look
// and time given on the command line, then saves the last frame.
//
//   render_frames --out style2.png --style 2 [--stereo 1] [--eye-offset 0.05]
//                 [--water 0.3] [--frames 10 --step-ms 40] [--size 1024x768]
//                 [--camera ex,ey,ez,tx,ty,tz] [--data DIR] [--seed N] [--plain]
//                 [--without-extension GL_EXT_packed_depth_stencil ...]
//
// The characters start where the seed (default 1) puts them, so the same
// options give the same picture. --plain draws every frame exactly as the
// passes define it, with nothing left out or kept from an earlier frame:
// the picture every faster frame must equal byte for byte.
// --without-extension (repeatable) draws as on a driver without it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/Config.h"
#include "camera/Camera.h"
#include "characters/CharacterManager.h"
#include "contract/DemoContract.h"
#include "render/Demo.h"
#include "render/DemoRecord.h"
#include "render/FramePasses.h"
#include "tools/headless/HeadlessGl.h"
#include "tools/headless/HiddenExtensions.h"
#include "tools/headless/Pictures.h"

namespace {

struct Options {
  std::string data = NPR_DATA_DIR;
  std::string out;
  int style = 1;
  int stereo = 0;
  float eyeOffset = 0.0f;
  float water = 0.0f;
  int frames = 1;
  unsigned stepMs = 40;
  int width = 1024;
  int height = 768;
  unsigned seed = 1;
  bool plain = false;
  bool placeCamera = false;
  float camera[6] = {};
  std::vector<std::string> without;  // extensions hidden from the demo
};

void usage() {
  std::fprintf(stderr,
               "usage: render_frames --out FILE.png|FILE.ppm [--style 1|2|3] [--stereo 0|1]\n"
               "       [--eye-offset F] [--water F] [--frames N] [--step-ms MS]\n"
               "       [--size WxH] [--camera ex,ey,ez,tx,ty,tz] [--data DIR] [--seed N]\n"
               "       [--plain] [--without-extension NAME]...\n");
}

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--plain") {
      o.plain = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    char separator = 0;
    std::istringstream in(value);
    if (flag == "--out") {
      o.out = value;
    } else if (flag == "--data") {
      o.data = value;
    } else if (flag == "--style") {
      in >> o.style;
    } else if (flag == "--stereo") {
      in >> o.stereo;
    } else if (flag == "--eye-offset") {
      in >> o.eyeOffset;
    } else if (flag == "--water") {
      in >> o.water;
    } else if (flag == "--frames") {
      in >> o.frames;
    } else if (flag == "--step-ms") {
      in >> o.stepMs;
    } else if (flag == "--size") {
      in >> o.width >> separator >> o.height;
    } else if (flag == "--without-extension") {
      o.without.push_back(value);
    } else if (flag == "--seed") {
      in >> o.seed;
    } else if (flag == "--camera") {
      o.placeCamera = true;
      for (int k = 0; k < 6; ++k) {
        in >> o.camera[k];
        if (k < 5) in >> separator;
      }
    } else {
      return false;
    }
    if (in.fail()) return false;
  }
  return !o.out.empty() && o.style >= 1 && o.style <= 3 && o.frames >= 1 && o.width > 0 &&
         o.height > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    usage();
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path out = fs::absolute(options.out);
  const fs::path work = fs::temp_directory_path() / ("render-frames-" + std::to_string(::getpid()));
  fs::remove_all(work);
  fs::copy(options.data, work, fs::copy_options::recursive);
  std::ofstream(work / "config.cfg") << options.width << ' ' << options.height << '\n';
  const fs::path previous = fs::current_path();
  fs::current_path(work);

  std::string reason;
  if (!HeadlessGl::ensure(options.width, options.height, &reason)) {
    std::fprintf(stderr, "render_frames: %s\n", reason.c_str());
    return 1;
  }
  Config::instance().read();
  hideExtensions(options.without);

  static KeyStates keys;
  static RenderWindow window;
  static DemoRecord demo;
  window.keys = &keys;
  window.width = options.width;
  window.height = options.height;
  window.visible = 1;
  initDemo(demo, &window, &keys);

  std::srand(options.seed);
  if (demo.characters) demo.characters->initialize();
  demo.compositeStyle = options.style;
  demo.stereoEnabled = static_cast<std::uint8_t>(options.stereo != 0);
  demo.eyeOffset = options.eyeOffset;
  demo.waterMove = options.water;
  if (options.placeCamera) {
    demo.demoCamera.eye = Vector3(options.camera[0], options.camera[1], options.camera[2]);
    demo.demoCamera.target = Vector3(options.camera[3], options.camera[4], options.camera[5]);
  }
  // F2 held: time moves the characters and the water, never the camera.
  keys.held[ws::VkF2] = 1;
  for (int frame = 0; frame < options.frames; ++frame) {
    if (frame > 0) updateFrame(demo, options.stepMs);
    drawFrame(demo, options.plain);
  }

  Picture picture;
  picture.width = options.width;
  picture.height = options.height;
  picture.rgba = HeadlessGl::readWindow();
  shutdownDemo(demo);

  fs::current_path(previous);
  const std::string log = [&] {
    std::ifstream in(work / "Log.txt");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }();
  fs::remove_all(work);
  if (!writePicture(picture, out.string())) {
    std::fprintf(stderr, "render_frames: cannot write %s\n", out.string().c_str());
    return 1;
  }
  if (log.find("Error") != std::string::npos || log.find("Compiling") != std::string::npos)
    std::fprintf(stderr, "render_frames: the demo's log reports problems:\n%s", log.c_str());
  return 0;
}
