// config.cfg: whatever it holds, the window gets a positive width and height.
#include "base/Config.h"
#include "fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enterPrivateFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::writeFile("config.cfg", data, size);
  Config& config = Config::instance();
  config.read();
  FUZZ_CHECK(config.width() > 0 && config.height() > 0);
  return 0;
}
