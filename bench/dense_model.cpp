// Writes a dense model for measuring the importer and the frame on large
// scenes: a lumpy rock as a binary PLY of about N triangles.
//
//   dense_model OUT.ply [TRIANGLES]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dense_model OUT.ply [TRIANGLES]\n");
    return 2;
  }
  const long wanted = argc > 2 ? std::atol(argv[2]) : 1000000;
  // A latitude-longitude grid of rings x segments cells, two triangles each.
  const int rings = std::max(4, static_cast<int>(std::sqrt(wanted / 4.0)));
  const int segments = 2 * rings;
  std::vector<float> v;
  for (int r = 0; r <= rings; ++r) {
    const double theta = M_PI * r / rings;
    for (int s = 0; s < segments; ++s) {
      const double phi = 2 * M_PI * s / segments;
      const double lump = 1 + 0.15 * std::sin(5 * theta) * std::cos(7 * phi) +
                          0.04 * std::sin(31 * theta + 3 * phi) * std::cos(23 * phi);
      v.push_back(float(lump * std::sin(theta) * std::cos(phi)));
      v.push_back(float(lump * std::cos(theta) * 1.3));
      v.push_back(float(lump * std::sin(theta) * std::sin(phi)));
    }
  }
  std::vector<std::int32_t> f;
  for (int r = 0; r < rings; ++r) {
    for (int s = 0; s < segments; ++s) {
      const std::int32_t a = r * segments + s, b = r * segments + (s + 1) % segments;
      const std::int32_t c = a + segments, d = b + segments;
      if (r > 0) f.insert(f.end(), {a, b, c});
      if (r < rings - 1) f.insert(f.end(), {b, d, c});
    }
  }
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(out,
               "ply\nformat binary_little_endian 1.0\nelement vertex %zu\n"
               "property float x\nproperty float y\nproperty float z\nelement face %zu\n"
               "property list uchar int vertex_indices\nend_header\n",
               v.size() / 3, f.size() / 3);
  std::fwrite(v.data(), sizeof(float), v.size(), out);
  for (std::size_t i = 0; i < f.size(); i += 3) {
    const unsigned char three = 3;
    std::fwrite(&three, 1, 1, out);
    std::fwrite(&f[i], sizeof(std::int32_t), 3, out);
  }
  std::fclose(out);
  std::printf("%s: %zu triangles\n", argv[1], f.size() / 3);
  return 0;
}
