#include "tools/scene_import/SurfaceGrid.h"

#include <algorithm>
#include <cmath>

namespace sceneimport {

namespace {

struct Point2 {
  double x, z;
};

double distanceToSegment(const Point2& p, const Point2& a, const Point2& b) {
  const double dx = b.x - a.x, dz = b.z - a.z, squared = dx * dx + dz * dz;
  double t = squared > 0 ? ((p.x - a.x) * dx + (p.z - a.z) * dz) / squared : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - a.x - t * dx, p.z - a.z - t * dz);
}

// Keeps the part of a polygon on one side of a height: above `level` when
// `keepAbove`, else below.
int clipAtHeight(const double (*in)[3], int count, double level, bool keepAbove, double (*out)[3]) {
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    const double* a = in[i];
    const double* b = in[(i + 1) % count];
    const double da = keepAbove ? a[1] - level : level - a[1];
    const double db = keepAbove ? b[1] - level : level - b[1];
    if (da >= 0) std::copy(a, a + 3, out[kept++]);
    if ((da >= 0) != (db >= 0)) {
      const double t = da / (da - db);
      for (int k = 0; k < 3; ++k) out[kept][k] = a[k] + t * (b[k] - a[k]);
      out[kept++][1] = level;
    }
  }
  return kept;
}

}  // namespace

SurfaceGrid::SurfaceGrid(const std::vector<Triangle>& triangles, float minX, float maxX, float minZ,
                         float maxZ, float cosMaxSlope)
    : minX_(minX), minZ_(minZ) {
  faces_.reserve(triangles.size());
  for (const Triangle& t : triangles) {
    bool finite = true;
    float low[2] = {t.p[0][0], t.p[0][2]}, high[2] = {low[0], low[1]};
    for (const auto& v : t.p) {
      finite = finite && std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
      low[0] = std::min(low[0], v[0]), high[0] = std::max(high[0], v[0]);
      low[1] = std::min(low[1], v[2]), high[1] = std::max(high[1], v[2]);
    }
    if (!finite || high[0] < minX || low[0] > maxX || high[1] < minZ || low[1] > maxZ) continue;
    double e1[3], e2[3];
    for (int k = 0; k < 3; ++k) {
      e1[k] = double(t.p[1][k]) - t.p[0][k];
      e2[k] = double(t.p[2][k]) - t.p[0][k];
    }
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                         e1[0] * e2[1] - e1[1] * e2[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 1e-12)) continue;
    Face face;
    std::copy(&t.p[0][0], &t.p[0][0] + 9, &face.p[0][0]);
    face.area = e1[0] * e2[2] - e1[2] * e2[0];
    face.floor = std::fabs(n[1]) >= cosMaxSlope * length;
    if (face.floor) {
      face.a = -n[0] / n[1];
      face.b = -n[2] / n[1];
      face.c = t.p[0][1] - face.a * t.p[0][0] - face.b * t.p[0][2];
      ++floorCount_;
    }
    faces_.push_back(face);
  }

  // About two faces a cell, in at most 512 x 512 cells.
  const double width = std::max(maxX - minX, 1e-3f), depth = std::max(maxZ - minZ, 1e-3f);
  const double cells = std::clamp<double>(faces_.size() / 2.0, 1.0, 512.0 * 512.0);
  cell_ = static_cast<float>(
      std::max(std::sqrt(width * depth / cells), std::max(width, depth) / 512.0));
  columns_ = std::max(1, static_cast<int>(std::ceil(width / cell_)));
  rows_ = std::max(1, static_cast<int>(std::ceil(depth / cell_)));

  cellStart_.assign(static_cast<std::size_t>(columns_) * rows_ + 1, 0);
  auto eachCell = [&](const Face& face, auto&& visit) {
    float low[2] = {face.p[0][0], face.p[0][2]}, high[2] = {low[0], low[1]};
    for (const auto& v : face.p) {
      low[0] = std::min(low[0], v[0]), high[0] = std::max(high[0], v[0]);
      low[1] = std::min(low[1], v[2]), high[1] = std::max(high[1], v[2]);
    }
    for (int r = row(low[1]); r <= row(high[1]); ++r)
      for (int c = column(low[0]); c <= column(high[0]); ++c) visit(r * columns_ + c);
  };
  for (const Face& face : faces_) eachCell(face, [&](int i) { ++cellStart_[i + 1]; });
  for (std::size_t i = 1; i < cellStart_.size(); ++i) cellStart_[i] += cellStart_[i - 1];
  cellFaces_.resize(cellStart_.back());
  std::vector<std::int32_t> filled(cellStart_.begin(), cellStart_.end() - 1);
  for (std::size_t f = 0; f < faces_.size(); ++f)
    eachCell(faces_[f], [&](int i) { cellFaces_[filled[i]++] = static_cast<std::int32_t>(f); });
  seen_.assign(faces_.size(), 0);
}

int SurfaceGrid::column(float x) const {
  return std::clamp(static_cast<int>(std::floor((x - minX_) / cell_)), 0, columns_ - 1);
}

int SurfaceGrid::row(float z) const {
  return std::clamp(static_cast<int>(std::floor((z - minZ_) / cell_)), 0, rows_ - 1);
}

bool SurfaceGrid::over(const Face& face, float x, float z) const {
  // Edges count as inside, so that no crack opens between two faces.
  const double slack = -1e-9 * std::fabs(face.area);
  for (int i = 0; i < 3; ++i) {
    const float* a = face.p[i];
    const float* b = face.p[(i + 1) % 3];
    const double cross =
        (double(b[0]) - a[0]) * (double(z) - a[2]) - (double(b[2]) - a[2]) * (double(x) - a[0]);
    if ((face.area > 0 ? cross : -cross) < slack) return false;
  }
  return true;
}

void SurfaceGrid::floorsAt(float x, float z, std::vector<float>& heights) const {
  heights.clear();
  const int cell = row(z) * columns_ + column(x);
  for (std::int32_t i = cellStart_[cell]; i < cellStart_[cell + 1]; ++i) {
    const Face& face = faces_[cellFaces_[i]];
    if (face.floor && over(face, x, z))
      heights.push_back(static_cast<float>(face.a * x + face.b * z + face.c));
  }
  std::sort(heights.begin(), heights.end());
}

bool SurfaceGrid::floorNear(float x, float z, float y, float tolerance, Floor& floor) const {
  const int cell = row(z) * columns_ + column(x);
  float best = tolerance;
  bool found = false;
  for (std::int32_t i = cellStart_[cell]; i < cellStart_[cell + 1]; ++i) {
    const Face& face = faces_[cellFaces_[i]];
    if (!face.floor || !over(face, x, z)) continue;
    const float h = static_cast<float>(face.a * x + face.b * z + face.c);
    if (std::fabs(h - y) <= best) {
      best = std::fabs(h - y);
      floor = {h, static_cast<float>(face.a), static_cast<float>(face.b)};
      found = true;
    }
  }
  return found;
}

bool SurfaceGrid::reaches(const Face& face, float x, float z, float radius, const Floor& floor,
                          float low, float high) const {
  float xLow = face.p[0][0], xHigh = xLow, zLow = face.p[0][2], zHigh = zLow;
  for (const auto& v : face.p) {
    xLow = std::min(xLow, v[0]), xHigh = std::max(xHigh, v[0]);
    zLow = std::min(zLow, v[2]), zHigh = std::max(zHigh, v[2]);
  }
  if (xLow > x + radius || xHigh < x - radius || zLow > z + radius || zHigh < z - radius)
    return false;
  // Heights over the floor's plane.
  double polygon[5][3], clipped[5][3];
  bool under = true, over = true;
  for (int i = 0; i < 3; ++i) {
    const float* v = face.p[i];
    polygon[i][0] = v[0];
    polygon[i][2] = v[2];
    polygon[i][1] = v[1] - (floor.height + double(floor.slopeX) * (double(v[0]) - x) +
                            double(floor.slopeZ) * (double(v[2]) - z));
    under = under && polygon[i][1] < low;
    over = over && polygon[i][1] > high;
  }
  if (under || over) return false;
  int count = clipAtHeight(polygon, 3, low, true, clipped);
  count = clipAtHeight(clipped, count, high, false, polygon);
  if (count == 0) return false;
  const Point2 at{x, z};
  double area = 0;
  bool left = true, right = true;
  for (int i = 0; i < count; ++i) {
    const double* a = polygon[i];
    const double* b = polygon[(i + 1) % count];
    area += a[0] * b[2] - b[0] * a[2];
    const double cross = (b[0] - a[0]) * (z - a[2]) - (b[2] - a[2]) * (x - a[0]);
    left = left && cross >= 0;
    right = right && cross <= 0;
    if (distanceToSegment(at, {a[0], a[2]}, {b[0], b[2]}) <= radius) return true;
  }
  // A wall seen from above is a line: only its edges can come near.
  return std::fabs(area) > 1e-12 && (left || right);
}

void SurfaceGrid::startQuery() const {
  if (++query_ == 0) {
    std::fill(seen_.begin(), seen_.end(), 0);
    query_ = 1;
  }
}

bool SurfaceGrid::blocked(float x, float z, float radius, const Floor& floor, float low,
                          float floorClimb, float high) const {
  startQuery();
  for (int r = row(z - radius); r <= row(z + radius); ++r) {
    for (int c = column(x - radius); c <= column(x + radius); ++c) {
      const int cell = r * columns_ + c;
      for (std::int32_t i = cellStart_[cell]; i < cellStart_[cell + 1]; ++i) {
        const std::int32_t f = cellFaces_[i];
        if (seen_[f] == query_) continue;
        seen_[f] = query_;
        const Face& face = faces_[f];
        if (!face.floor) {
          if (reaches(face, x, z, radius, floor, low, high)) return true;
          continue;
        }
        // A floor counts where it rises over this one by more than it could
        // by climbing from here at the slope limit: closer in, lower. Most
        // are the ground around, nowhere that high.
        double highest = -1e30;
        for (const auto& v : face.p)
          highest = std::max(highest, v[1] - (floor.height + double(floor.slopeX) * (v[0] - x) +
                                              double(floor.slopeZ) * (v[2] - z)));
        if (highest < low) continue;
        for (int ring = 0; ring <= 3; ++ring) {
          const float within = radius * static_cast<float>(ring) / 3;
          if (reaches(face, x, z, within, floor, low + within * floorClimb, high)) return true;
        }
      }
    }
  }
  return false;
}

bool SurfaceGrid::crosses(const float (&a)[3], const float (&b)[3]) const {
  startQuery();
  const double d[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
  // Through the cells under the line, in steps shorter than a cell.
  const int steps = 1 + static_cast<int>(2 * std::hypot(d[0], d[2]) / cell_);
  int previous = -1;
  for (int k = 0; k <= steps; ++k) {
    const double t = static_cast<double>(k) / steps;
    const int cell = row(static_cast<float>(a[2] + t * d[2])) * columns_ +
                     column(static_cast<float>(a[0] + t * d[0]));
    if (cell == previous) continue;
    previous = cell;
    for (std::int32_t i = cellStart_[cell]; i < cellStart_[cell + 1]; ++i) {
      const std::int32_t f = cellFaces_[i];
      if (seen_[f] == query_) continue;
      seen_[f] = query_;
      // Moller and Trumbore's test, for t along the line within 0 to 1.
      const float(&p)[3][3] = faces_[f].p;
      double e1[3], e2[3], s[3];
      for (int c = 0; c < 3; ++c) {
        e1[c] = double(p[1][c]) - p[0][c];
        e2[c] = double(p[2][c]) - p[0][c];
        s[c] = double(a[c]) - p[0][c];
      }
      const double h[3] = {d[1] * e2[2] - d[2] * e2[1], d[2] * e2[0] - d[0] * e2[2],
                           d[0] * e2[1] - d[1] * e2[0]};
      const double det = e1[0] * h[0] + e1[1] * h[1] + e1[2] * h[2];
      if (std::fabs(det) < 1e-15) continue;
      const double u = (s[0] * h[0] + s[1] * h[1] + s[2] * h[2]) / det;
      if (u < 0 || u > 1) continue;
      const double q[3] = {s[1] * e1[2] - s[2] * e1[1], s[2] * e1[0] - s[0] * e1[2],
                           s[0] * e1[1] - s[1] * e1[0]};
      const double v = (d[0] * q[0] + d[1] * q[1] + d[2] * q[2]) / det;
      if (v < 0 || u + v > 1) continue;
      const double along = (e2[0] * q[0] + e2[1] * q[1] + e2[2] * q[2]) / det;
      if (along >= 0 && along <= 1) return true;
    }
  }
  return false;
}

}  // namespace sceneimport
