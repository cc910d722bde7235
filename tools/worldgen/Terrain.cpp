// The ground: rolling inland heights, flat pads, the coast, the grid the
// terrain mesh and every height query share, and the cobbled paths.
#include <functional>
#include <map>

#include "tools/worldgen/World.h"

namespace genworld {

double pointSegmentDistance(double px, double pz, double ax, double az, double bx, double bz) {
  const double dx = bx - ax, dz = bz - az;
  const double t = clamp01(((px - ax) * dx + (pz - az) * dz) / (dx * dx + dz * dz));
  const double ex = px - (ax + dx * t), ez = pz - (az + dz * t);
  return std::sqrt(ex * ex + ez * ez);
}

// Rolling ground, before the flat pads, the coast and the carved water.
double inlandRaw(double x, double z) {
  auto bump = [&](double cx, double cz, double amp, double sigma) {
    const double dx = x - cx, dz = z - cz;
    const double q = (dx * dx + dz * dz) / (sigma * sigma);
    // Rational bump: smooth, and no exp() whose last bit varies.
    return amp / (1 + q * q * 0.5 + q);
  };
  double h = bump(-4.9, -2.6, 0.28, 1.6) + bump(-2.6, 2.9, 0.3, 1.3) + bump(-1.8, -7.0, 0.12, 0.9);
  h += 0.035 * noise2(x * 0.7, z * 0.7, 101) + 0.012 * noise2(x * 2.1, z * 2.1, 202);
  // The land leans down towards the north shore, so the sea shows from the village.
  h += 0.03 * z;
  return h;
}

// Paving of the quay and the jetty, level with the ground behind the quay.
double quayTop() { return inlandRaw(3.8, -2.7) - inlandRaw(0, 0) + 0.015; }

std::vector<Pad>& pads() {
  static std::vector<Pad> list;
  return list;
}

double padMask(const Pad& p, double x, double z) {
  const double dx = x - p.x, dz = z - p.z;
  double outside;
  if (p.round) {
    outside = std::sqrt(dx * dx + dz * dz) - p.halfW;
  } else {
    double s, c;
    sinCos(rad(p.turn), s, c);
    // Inverse of Frame::dir.
    const double lx = c * dx - s * dz, lz = s * dx + c * dz;
    const double ox = std::max(0.0, std::fabs(lx) - p.halfW);
    const double oz = std::max(0.0, std::fabs(lz) - p.halfD);
    outside = std::sqrt(ox * ox + oz * oz);
  }
  return 1 - smooth(0, p.margin, outside);
}

double inlandHeight(double x, double z) {
  double h = inlandRaw(x, z) - inlandRaw(0, 0);
  for (const Pad& p : pads()) h = lerp(h, p.height, padMask(p, x, z));
  return h;
}

double coastDistance(double dx, double dz) {
  double bearing = datan2(dx, -dz) * 180 / kPi;
  if (bearing < 0) bearing += 360;
  const double f = bearing / 22.5;
  const int i = static_cast<int>(std::floor(f)) % 16;
  const double t = f - std::floor(f);
  auto at = [](int k) { return kCoast[((k % 16) + 16) % 16]; };
  const double p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
  const double t2 = t * t, t3 = t2 * t;
  double d = 0.5 * (2 * p1 + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 +
                    (-p0 + 3 * p1 - 3 * p2 + p3) * t3);
  // Ragged shore away from the quay.
  const double quay = smooth(40, 52, bearing) * (1 - smooth(108, 120, bearing));
  const double r = std::sqrt(dx * dx + dz * dz);
  if (r > 1e-9) d += (1 - quay) * 0.3 * noise2(dx / r * 2.2 + 9, dz / r * 2.2 + 9, 404);
  return d;
}

double terrainHeight(double x, double z) {
  const double dx = x - kIslandCentre.x, dz = z - kIslandCentre.z;
  const double r = std::sqrt(dx * dx + dz * dz);
  // The water line falls at s = 0.89 of the profile below.
  const double s = r * 0.89 / coastDistance(dx, dz);
  double h = lerp(inlandHeight(x, z), -0.85, smooth(0.72, 1.04, s));
  if (s > 1.04) h -= (s - 1.04) * 2.5;
  // The inlet the bridge crosses.
  const double d = pointSegmentDistance(x, z, kBridgeX, kInletEndZ, kBridgeX, -11);
  h = lerp(-0.9, h, smooth(0.3, 0.85, d));
  // The harbour basin in front of the quay wall.
  const double beyond = std::max({x - (kQuayEast - 0.25), 0.0});
  const double along = std::max({kQuayNorth + 0.15 - z, z - (kQuaySouth - 0.15), 0.0});
  if (beyond > 0 && along < 1e-9) h = std::min(h, -0.05 - beyond * 4.0);
  return std::max(h, -1.6);
}

TerrainGrid& grid() {
  static TerrainGrid g;
  return g;
}

double ground(double x, double z) { return grid().height(x, z); }

// Lowest and highest ground under a footprint.
void groundRange(const Frame& f, double halfW, double halfD, double& lo, double& hi) {
  lo = 1e9;
  hi = -1e9;
  for (int i = 0; i <= 8; ++i)
    for (int k = 0; k <= 8; ++k) {
      const V p = f.at(-halfW + 2 * halfW * i / 8, 0, -halfD + 2 * halfD * k / 8);
      const double g = ground(p.x, p.z);
      lo = std::min(lo, g);
      hi = std::max(hi, g);
    }
}

// Terrain triangles are cut along the sand line and the steep-slope line,
// so the colour changes follow smooth contours instead of grid steps.
void buildTerrain(Mesh& m) {
  const TerrainGrid& g = grid();
  struct Corner {
    int id;
    double f[2];  // above the sand line; flatter than the earth slopes
  };
  std::vector<std::array<double, 2>> fields;
  auto fieldsAt = [](const V& p, const V& n) {
    return std::array<double, 2>{p.y - (-0.2 + 0.05 * noise2(p.x * 1.3, p.z * 1.3, 303)),
                                 n.y - 0.86};
  };
  std::vector<int> ids(static_cast<size_t>(g.nx + 1) * (g.nz + 1), -1);
  auto id = [&](int i, int k) {
    int& slot = ids[static_cast<size_t>(k) * (g.nx + 1) + i];
    if (slot < 0) {
      const double x = g.x0 + i * g.step, z = g.z0 + k * g.step;
      const double e = g.step;
      const double hx0 = g.at(std::max(i - 1, 0), k), hx1 = g.at(std::min(i + 1, g.nx), k);
      const double hz0 = g.at(i, std::max(k - 1, 0)), hz1 = g.at(i, std::min(k + 1, g.nz));
      const V n = unit(V(hx0 - hx1, 2 * e, hz0 - hz1));
      slot = m.vertex(V(x, g.at(i, k), z), n, V(x * 0.5, z * 0.5, 0));
      fields.push_back(fieldsAt(m.pos[slot], n));
    }
    return Corner{slot, {fields[slot][0], fields[slot][1]}};
  };
  std::map<std::array<int, 3>, int> cuts;
  auto cut = [&](const Corner& a, const Corner& b, int field) {
    const Corner& p = a.id < b.id ? a : b;
    const Corner& q = a.id < b.id ? b : a;
    const std::array<int, 3> key = {p.id, q.id, field};
    auto it = cuts.find(key);
    int v;
    if (it != cuts.end()) {
      v = it->second;
    } else {
      const double t = p.f[field] / (p.f[field] - q.f[field]);
      const V pos = m.pos[p.id] + (m.pos[q.id] - m.pos[p.id]) * t;
      const V n = unit(m.nrm[p.id] + (m.nrm[q.id] - m.nrm[p.id]) * t);
      v = m.vertex(pos, n, V(pos.x * 0.5, pos.z * 0.5, 0));
      std::array<double, 2> f;
      for (int k = 0; k < 2; ++k) f[k] = p.f[k] + (q.f[k] - p.f[k]) * t;
      f[field] = 0;
      fields.push_back(f);
      cuts[key] = v;
    }
    return Corner{v, {fields[v][0], fields[v][1]}};
  };
  std::function<void(const std::vector<Corner>&, int)> emit = [&](const std::vector<Corner>& poly,
                                                                  int field) {
    if (field == 2) {
      double mean[2] = {0, 0};
      for (const Corner& c : poly)
        for (int k = 0; k < 2; ++k) mean[k] += c.f[k];
      const int material = mean[0] < 0 ? kSand : (mean[1] < 0 ? kEarth : kGrass);
      for (size_t i = 1; i + 1 < poly.size(); ++i)
        m.tri(poly[0].id, poly[i].id, poly[i + 1].id, material, V(0, 1, 0));
      return;
    }
    bool anyBelow = false, anyAbove = false;
    for (const Corner& c : poly) {
      anyBelow = anyBelow || c.f[field] < 0;
      anyAbove = anyAbove || c.f[field] > 0;
    }
    if (!(anyBelow && anyAbove)) {
      emit(poly, field + 1);
      return;
    }
    for (int sign = -1; sign <= 1; sign += 2) {
      std::vector<Corner> part;
      for (size_t i = 0; i < poly.size(); ++i) {
        const Corner& a = poly[i];
        const Corner& b = poly[(i + 1) % poly.size()];
        if (sign * a.f[field] >= 0) part.push_back(a);
        if (a.f[field] * b.f[field] < 0) part.push_back(cut(a, b, field));
      }
      if (part.size() >= 3) emit(part, field + 1);
    }
  };
  for (int k = 0; k < g.nz; ++k)
    for (int i = 0; i < g.nx; ++i) {
      const double h00 = g.at(i, k), h10 = g.at(i + 1, k), h01 = g.at(i, k + 1),
                   h11 = g.at(i + 1, k + 1);
      if (std::max({h00, h10, h01, h11}) < -0.6) continue;
      const Corner a = id(i, k), b = id(i + 1, k), c = id(i + 1, k + 1), d = id(i, k + 1);
      emit({a, b, c}, 0);
      emit({a, c, d}, 0);
    }
}

std::vector<std::pair<double, double>> pathPoints(const std::vector<Node>& nodeList,
                                                  const PathSpec& path, double spacing) {
  std::map<std::string, Node> byName;
  for (const Node& n : nodeList) byName[n.name] = n;
  std::vector<std::pair<double, double>> ctl = {{byName[path.from].x, byName[path.from].z}};
  for (const auto& v : path.via) ctl.push_back(v);
  ctl.push_back({byName[path.to].x, byName[path.to].z});
  return samplePath(ctl, spacing);
}

// Uniform Catmull-Rom through the control points, resampled by arc length.
std::vector<std::pair<double, double>> samplePath(const std::vector<std::pair<double, double>>& ctl,
                                                  double spacing) {
  std::vector<std::pair<double, double>> dense;
  for (size_t i = 0; i + 1 < ctl.size(); ++i) {
    const auto p0 = ctl[i == 0 ? 0 : i - 1], p1 = ctl[i], p2 = ctl[i + 1],
               p3 = ctl[std::min(i + 2, ctl.size() - 1)];
    for (int k = 0; k < 40; ++k) {
      const double t = k / 40.0, t2 = t * t, t3 = t2 * t;
      auto cr = [&](double a, double b, double c, double d) {
        return 0.5 * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 +
                      (-a + 3 * b - 3 * c + d) * t3);
      };
      dense.push_back({cr(p0.first, p1.first, p2.first, p3.first),
                       cr(p0.second, p1.second, p2.second, p3.second)});
    }
  }
  dense.push_back(ctl.back());
  std::vector<double> acc(dense.size(), 0);
  for (size_t i = 1; i < dense.size(); ++i)
    acc[i] = acc[i - 1] +
             planar(dense[i].first - dense[i - 1].first, dense[i].second - dense[i - 1].second);
  const double total = acc.back();
  const int n = std::max(1, static_cast<int>(std::ceil(total / spacing)));
  std::vector<std::pair<double, double>> out;
  size_t j = 0;
  for (int i = 0; i <= n; ++i) {
    const double target = total * i / n;
    while (j + 2 < dense.size() && acc[j + 1] < target) ++j;
    const double seg = acc[j + 1] - acc[j];
    const double t = seg > 0 ? clamp01((target - acc[j]) / seg) : 0;
    out.push_back({lerp(dense[j].first, dense[j + 1].first, t),
                   lerp(dense[j].second, dense[j + 1].second, t)});
  }
  return out;
}

void ribbon(Mesh& m, const std::vector<std::pair<double, double>>& pts, double width, double lift,
            int material) {
  std::vector<std::array<int, 3>> rows;
  for (size_t i = 0; i < pts.size(); ++i) {
    const auto a = pts[i == 0 ? 0 : i - 1], b = pts[std::min(i + 1, pts.size() - 1)];
    double tx = b.first - a.first, tz = b.second - a.second;
    const double tl = planar(tx, tz);
    tx /= tl;
    tz /= tl;
    std::array<int, 3> row;
    for (int k = 0; k < 3; ++k) {
      const double off = (k - 1) * width / 2;
      const double x = pts[i].first - tz * off, z = pts[i].second + tx * off;
      row[k] = m.vertex(V(x, ground(x, z) + lift, z), grid().normal(x, z), V(x, z, 0));
    }
    rows.push_back(row);
  }
  for (size_t i = 0; i + 1 < rows.size(); ++i)
    for (int k = 0; k < 2; ++k) {
      m.tri(rows[i][k], rows[i][k + 1], rows[i + 1][k + 1], material);
      m.tri(rows[i][k], rows[i + 1][k + 1], rows[i + 1][k], material);
    }
}

}  // namespace genworld
