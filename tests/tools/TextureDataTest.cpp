// The committed textures are exactly what their generator makes, are read by
// the program's own bitmap reader, and have the properties the composite
// relies on: nested stroke levels, seamless tiling, strokes that keep their
// contrast in the first mipmap level, a light paper, a water surface whose
// normals agree with its heights.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "gl/Textures.h"
#include "platform/fake/FakeWindowSystem.h"
#include "tools/texturegen/TextureGen.h"

namespace {

// One channel of a generated texture, values 0..1, wrapping.
struct Channel {
  int size = 0;
  std::vector<double> v;
  double at(int x, int y) const {
    return v[static_cast<size_t>((y + size) % size) * size + (x + size) % size];
  }
  double mean() const { return std::accumulate(v.begin(), v.end(), 0.0) / v.size(); }
  double deviation() const {
    const double m = mean();
    double sum = 0.0;
    for (double value : v) sum += (value - m) * (value - m);
    return std::sqrt(sum / v.size());
  }
  // Half the size, each texel the mean of four: the first mipmap level.
  Channel halved() const {
    Channel out;
    out.size = size / 2;
    out.v.resize(static_cast<size_t>(out.size) * out.size);
    for (int y = 0; y < out.size; ++y)
      for (int x = 0; x < out.size; ++x)
        out.v[static_cast<size_t>(y) * out.size + x] =
            0.25 * (at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) +
                    at(2 * x + 1, 2 * y + 1));
    return out;
  }
};

Channel channelOf(const std::vector<unsigned char>& bmp, int channel) {
  Channel c;
  c.size = static_cast<int>(std::sqrt((bmp.size() - 54) / 3));
  c.v.resize(static_cast<size_t>(c.size) * c.size);
  for (size_t i = 0; i < c.v.size(); ++i) c.v[i] = bmp[54 + i * 3 + (2 - channel)] / 255.0;
  return c;
}

const std::vector<gentex::NamedFile>& generated() {
  static const std::vector<gentex::NamedFile> files = gentex::generateAll();
  return files;
}

const gentex::NamedFile& generatedFile(const std::string& name) {
  for (const gentex::NamedFile& file : generated())
    if (file.name == name) return file;
  static const gentex::NamedFile none;
  ADD_FAILURE() << "the generator makes no " << name;
  return none;
}

// The byte comparison with the committed files is GeneratedData's.
TEST(TextureData, TheReaderReadsTheGeneratedFilesAsWritten) {
  FakeWindowSystem system;
  system.install();
  const char* demoOrder[] = {"water_normal3.bmp", "hatch2.bmp", "hatch1.bmp", "water_normal4.bmp"};
  ASSERT_EQ(generated().size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const gentex::NamedFile& file = generated()[i];
    EXPECT_EQ(file.name, demoOrder[i]);
    // Square powers of two, read back by the program as the same R, G, B.
    const std::string path = std::string(NPR_DATA_DIR) + "/Textures/" + file.name;
    RgbImage* image = loadDibImage(path.c_str());
    ASSERT_NE(image, nullptr) << file.name;
    const int size = image->width;
    EXPECT_EQ(image->height, size);
    EXPECT_TRUE(size >= 64 && (size & (size - 1)) == 0) << size;
    ASSERT_EQ(file.bytes.size(), 54u + size * size * 3);
    for (size_t p = 0; p < size_t(size) * size; p += 997)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(image->pixels[p * 3 + c], file.bytes[54 + p * 3 + 2 - c]) << "pixel " << p;
    freeRgbImage(image);
  }
  EXPECT_TRUE(system.boxes.empty());
}

// Differences between neighbouring columns (and rows) across the wrap-around
// seam are like those inside: a stroke cut at the border would stand out.
TEST(TextureData, EveryChannelTilesWithoutASeam) {
  for (const gentex::NamedFile& file : generated()) {
    for (int channel = 0; channel < 3; ++channel) {
      SCOPED_TRACE(file.name + " channel " + std::to_string(channel));
      const Channel c = channelOf(file.bytes, channel);
      for (int axis = 0; axis < 2; ++axis) {
        Channel steps;  // mean step between neighbouring lines; the last crosses the seam
        for (int k = 0; k < c.size; ++k) {
          double sum = 0.0;
          for (int j = 0; j < c.size; ++j)
            sum += axis == 0 ? std::fabs(c.at(k + 1, j) - c.at(k, j))
                             : std::fabs(c.at(j, k + 1) - c.at(j, k));
          steps.v.push_back(sum / c.size);
        }
        const double seam = steps.v.back();
        steps.v.pop_back();
        EXPECT_LT(std::fabs(seam - steps.mean()), 4.0 * steps.deviation() + 1e-3)
            << "axis " << axis << " seam " << seam << " interior " << steps.mean();
      }
    }
  }
}

// A stroke of a lighter level belongs to every darker level, so a tone that
// moves between levels adds strokes without moving any; each level carries
// clearly more graphite than the one before.
TEST(TextureData, HatchingLevelsAreNestedAndDarken) {
  struct Levels {
    const char* file;
    int lightest;  // channel of the lightest level; the darker ones follow
  };
  for (const Levels& levels :
       {Levels{"water_normal3.bmp", 0}, Levels{"hatch1.bmp", 0}, Levels{"hatch2.bmp", 1}}) {
    SCOPED_TRACE(levels.file);
    const std::vector<unsigned char>& f = generatedFile(levels.file).bytes;
    for (int channel = levels.lightest; channel < 2; ++channel) {
      const Channel lighter = channelOf(f, channel), darker = channelOf(f, channel + 1);
      size_t violations = 0;
      for (size_t i = 0; i < lighter.v.size(); ++i) violations += darker.v[i] > lighter.v[i];
      EXPECT_EQ(violations, 0u) << "channel " << channel + 1 << " lighter than " << channel;
      EXPECT_GT(lighter.mean() - darker.mean(), 0.05) << "channel " << channel;
    }
    if (levels.lightest == 0) {
      EXPECT_GT(channelOf(f, 0).mean(), 0.85) << "the lightest level is mostly paper";
    }
    EXPECT_LT(channelOf(f, 2).mean(), 0.7) << "the darkest level is mostly graphite";
  }
}

// Strokes are wide and far enough apart that the first mipmap level still
// shows lines rather than an even grey.
TEST(TextureData, StrokesKeepTheirContrastInTheFirstMipmapLevel) {
  for (const char* name : {"water_normal3.bmp", "hatch1.bmp", "hatch2.bmp"}) {
    const std::vector<unsigned char>& f = generatedFile(name).bytes;
    for (int channel = std::string(name) == "hatch2.bmp" ? 1 : 0; channel < 3; ++channel) {
      const Channel level0 = channelOf(f, channel);
      const Channel level1 = level0.halved();
      EXPECT_NEAR(level1.mean(), level0.mean(), 0.01);
      EXPECT_GT(level1.deviation(), 0.6 * level0.deviation())
          << name << " channel " << channel << ": " << level0.deviation() << " -> "
          << level1.deviation();
    }
  }
}

TEST(TextureData, PaperIsLightAndSubtlyGrained) {
  const Channel paper = channelOf(generatedFile("hatch2.bmp").bytes, 0);
  EXPECT_GT(paper.mean(), 0.9);
  EXPECT_GT(*std::min_element(paper.v.begin(), paper.v.end()), 0.6);
  EXPECT_GT(paper.deviation(), 0.01) << "no grain at all";
  EXPECT_LT(paper.deviation(), 0.06) << "grain too strong for paper";
}

// R and G of the water surface are the normal's x and y, B its height: the
// normals must lean away from rising ground, as normals of that height do.
TEST(TextureData, WaterNormalsFollowTheWaterHeights) {
  const std::vector<unsigned char>& f = generatedFile("water_normal4.bmp").bytes;
  const Channel nx = channelOf(f, 0), ny = channelOf(f, 1), height = channelOf(f, 2);
  EXPECT_NEAR(nx.mean(), 0.5, 0.02);
  EXPECT_NEAR(ny.mean(), 0.5, 0.02);
  EXPECT_LT(*std::min_element(height.v.begin(), height.v.end()), 0.01);
  EXPECT_GT(*std::max_element(height.v.begin(), height.v.end()), 0.99);
  for (int axis = 0; axis < 2; ++axis) {
    const Channel& n = axis == 0 ? nx : ny;
    double sxy = 0.0, sxx = 0.0, syy = 0.0;
    for (int y = 0; y < height.size; ++y)
      for (int x = 0; x < height.size; ++x) {
        const double rise = axis == 0 ? height.at(x + 1, y) - height.at(x - 1, y)
                                      : height.at(x, y + 1) - height.at(x, y - 1);
        const double lean = n.at(x, y) - 0.5;
        sxy += rise * lean;
        sxx += rise * rise;
        syy += lean * lean;
      }
    EXPECT_LT(sxy / std::sqrt(sxx * syy), -0.9) << "axis " << axis;
  }
}

}  // namespace
