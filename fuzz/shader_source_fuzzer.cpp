// The shader source reading: the file's bytes as they are, after one space,
// with a line end added where the last line has none.
#include "fuzz/FuzzFiles.h"
#include "gl/ShaderPrograms.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enterPrivateFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::writeFile("shader.fsh", data, size);
  const std::string text = ShaderProgramSet::readSource("shader.fsh");
  std::string expected = " " + std::string(reinterpret_cast<const char*>(data), size);
  if (size > 0 && expected.back() != '\n') expected += '\n';
  FUZZ_CHECK(text == expected);
  return 0;
}
