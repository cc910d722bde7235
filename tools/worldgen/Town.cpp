// Where everything stands: the named waypoints, the paths between them, the
// fixed buildings and, around them, the trees and rocks.
#include <iostream>
#include <map>

#include "tools/worldgen/World.h"

namespace genworld {

std::vector<Node> nodes() {
  auto edge = [](double bearingDeg, double r) {
    double s, c;
    sinCos(rad(bearingDeg), s, c);
    return std::make_pair(kPlaza.x + s * r, kPlaza.z - c * r);
  };
  std::vector<Node> list;
  auto add = [&](const std::string& name, double x, double z) { list.push_back({name, x, z}); };
  // Round the well, one way; each also starts a path off the plaza.
  for (int i = 0; i < 6; ++i) {
    const auto p = edge(42 + 60 * i, 0.8);
    add("ring" + std::to_string(i), p.first, p.second);
  }
  add("door1", -1.07, -2.72);
  const double top = kTower.z + kTerraceHalf;
  add("towerFoot", kTower.x, top + (kSteps - 1) * kTread + 0.22);
  add("terraceS", kTower.x, top - 0.2);
  add("terraceW", kTower.x - kTerraceHalf + 0.2, kTower.z);
  const double q = 0.64;
  add("terraceSW", kTower.x - q, kTower.z + q);
  add("terraceSE", kTower.x + q, kTower.z + q);
  add("terraceNE", kTower.x + q, kTower.z - q);
  add("terraceNW", kTower.x - q, kTower.z - q);
  add("towerWestFoot", kTower.x - kTerraceHalf - (kSteps - 1) * kTread - 0.22, kTower.z);
  add("bridgeE", kBridgeX + kBridgeHalf - 0.05, kBridgeZ);
  add("bridgeEastJ", 1.0, kBridgeZ);
  add("bridgeCrownE", kBridgeX + 0.35, kBridgeZ);
  add("bridgeCrownW", kBridgeX - 0.35, kBridgeZ);
  add("bridgeW", kBridgeX - kBridgeHalf + 0.05, kBridgeZ);
  add("westJ", -2.6, -4.0);
  add("lookout", -4.35, -2.05);
  add("mainJ", -1.05, 1.25);
  add("southJ", -0.25, 3.15);
  add("quayN", 3.85, -4.8);
  add("quayE", 3.85, -3.45);
  add("quayJ", 3.85, kJettyZ);
  add("quayS", 3.85, -0.35);
  add("jettyMid", 5.0, kJettyZ);
  add("jettyEnd", kJettyEnd - 0.2, kJettyZ);
  add("eastBay", 3.25, 1.35);
  return list;
}

std::vector<PathSpec> paths() {
  return {
      {"ring3", "mainJ", {{0.05, -1.1}, {-0.55, -0.25}, {-0.95, 0.55}}},
      {"mainJ", "southJ", {{-0.85, 2.2}}},
      {"southJ", "eastBay", {{1.2, 3.1}, {2.4, 2.6}}},
      {"eastBay", "quayS", {{3.7, 0.35}}},
      {"ring2", "quayS", {{1.9, -0.95}, {3.1, -0.95}}},
      {"ring1", "quayE", {{2.3, -3.4}, {3.1, -3.55}}},
      {"ring0", "towerFoot", {{1.55, -4.45}, {2.35, -4.75}}},
      {"quayN", "towerFoot", {{3.2, -4.72}}},
      {"ring5", "bridgeEastJ", {{0.1, -4.7}, {0.75, -5.6}}},
      {"bridgeEastJ", "bridgeE", {}},
      {"bridgeEastJ", "towerWestFoot", {}},
      {"bridgeW", "westJ", {{-2.15, -5.7}, {-2.5, -4.9}}},
      {"westJ", "lookout", {{-3.5, -3.4}}},
      {"westJ", "mainJ", {{-2.75, -2.6}, {-2.5, -1.5}, {-2.45, -0.2}, {-1.85, 0.85}}},
  };
}

void addPads() {
  auto& list = pads();
  list.clear();
  auto rawAt = [](double x, double z) { return inlandRaw(x, z) - inlandRaw(0, 0); };
  for (const HouseSpec& h : kHouses)
    list.push_back(
        {h.x, h.z, h.turn, h.width / 2 + 0.12, h.depth / 2 + 0.12, 0.6, rawAt(h.x, h.z), false});
  list.push_back(
      {kPlaza.x, kPlaza.z, 0, kPlazaRadius + 0.1, 0, 0.9, rawAt(kPlaza.x, kPlaza.z), true});
  list.push_back({(kQuayWest + kQuayEast) / 2 - 0.3, (kQuayNorth + kQuaySouth) / 2, 0,
                  (kQuayEast - kQuayWest) / 2 + 0.3, (kQuaySouth - kQuayNorth) / 2, 0.8,
                  quayTop() - 0.015, false});
  // The tower's terrace stands on the quay's level.
  list.push_back({kTower.x, kTower.z, 0, kTerraceHalf + 0.4, kTerraceHalf + 0.4, 0.7,
                  quayTop() - 0.015, false});
}

// Keep-out test for trees and rocks: paths, houses, plaza, terrace, bridge, quay.
bool blocked(const World& w, double x, double z, double clearance) {
  for (const auto& r : w.ribbons)
    for (const auto& p : r)
      if (planar(p.first - x, p.second - z) < kPathWidth / 2 + clearance) return true;
  if (planar(x - kPlaza.x, z - kPlaza.z) < kPlazaRadius + clearance) return true;
  for (const HouseSpec& h : kHouses) {
    double s, c;
    sinCos(rad(h.turn), s, c);
    const double dx = x - h.x, dz = z - h.z;
    const double lx = c * dx - s * dz, lz = s * dx + c * dz;
    if (std::fabs(lx) < h.width / 2 + 0.15 + clearance &&
        std::fabs(lz) < h.depth / 2 + 0.2 + clearance)
      return true;
  }
  if (std::fabs(x - kTower.x) < kTerraceHalf + 0.6 + clearance &&
      std::fabs(z - kTower.z) < kTerraceHalf + 0.6 + clearance)
    return true;
  if (std::fabs(z - kBridgeZ) < 0.35 + clearance && std::fabs(x - kBridgeX) < kBridgeHalf + 0.3)
    return true;
  if (x > kQuayWest - 0.2 - clearance && z > kQuayNorth - 0.2 - clearance &&
      z < kQuaySouth + 0.2 + clearance)
    return true;
  for (const auto& k : w.walks)
    if (pointSegmentDistance(x, z, k[0], k[1], k[2], k[3]) < clearance + 0.1) return true;
  return false;
}

// Ground, paths and everything built; trees and rocks come after the network.
void buildFixed(World& w) {
  Random& random = w.random;
  addPads();
  grid().build();
  buildTerrain(w.terrain);

  // Paths first: trees and rocks keep off them.
  w.nodeList = nodes();
  for (const PathSpec& p : paths()) {
    const auto pts = pathPoints(w.nodeList, p, 0.08);
    w.ribbons.push_back(pts);
    ribbon(w.paving, pts, kPathWidth, kPathLift, kCobble);
  }
  // The plaza: a cobbled disc over the flattened ground.
  {
    const int rings = 12, seg = 64;
    const double lift = kPathLift + 0.003;
    std::vector<std::vector<int>> ids(rings + 1);
    for (int r = 0; r <= rings; ++r) {
      const int count = r == 0 ? 1 : seg;
      for (int i = 0; i < count; ++i) {
        double s, c;
        sinCos(2 * kPi * i / seg, s, c);
        const double rr = kPlazaRadius * r / rings;
        const double x = kPlaza.x + s * rr, z = kPlaza.z + c * rr;
        ids[r].push_back(
            w.paving.vertex(V(x, ground(x, z) + lift, z), grid().normal(x, z), V(x, z, 0)));
      }
    }
    for (int i = 0; i < seg; ++i) {
      const int j = (i + 1) % seg;
      w.paving.tri(ids[0][0], ids[1][i], ids[1][j], kCobble);
      for (int r = 1; r < rings; ++r) {
        w.paving.tri(ids[r][i], ids[r + 1][i], ids[r + 1][j], kCobble);
        w.paving.tri(ids[r][i], ids[r + 1][j], ids[r][j], kCobble);
      }
    }
    // Kerb ring so the plaza's edge reads as a line.
    for (int i = 0; i < seg; ++i) {
      const double a0 = 2 * kPi * i / seg, a1 = 2 * kPi * (i + 1) / seg;
      double s0, c0, s1, c1;
      sinCos(a0, s0, c0);
      sinCos(a1, s1, c1);
      V c[8];
      for (int k = 0; k < 8; ++k) {
        const double rr = kPlazaRadius + ((k & 4) ? 0.05 : 0.0);
        const double s = (k & 1) ? s1 : s0, cc = (k & 1) ? c1 : c0;
        const double x = kPlaza.x + s * rr, z = kPlaza.z + cc * rr;
        const double y = ground(x, z) + ((k & 2) ? kPathLift + 0.012 : -0.05);
        c[k] = V(x, y, z);
      }
      w.trim.hexa(c, kStone);
    }
  }

  for (const HouseSpec& h : kHouses) house(w.walls, w.roofs, w.trim, h, random);
  tower(w.tower, w.trim);
  bridge(w.bridge);
  harbour(w.harbour, w.props);
  well(w.props, w.roofs);
  for (double bearing : {55.0, 300.0}) {
    double s, c;
    sinCos(rad(bearing), s, c);
    lamp(w.props, kPlaza.x + s * (kPlazaRadius + 0.12), kPlaza.z - c * (kPlazaRadius + 0.12));
  }
  bench(w.props, -4.62, -1.85, -70);
  cart(w.props, 1.0, -0.95, -60);
  barrel(w.props, 1.25, -0.42, ground(1.25, -0.42));
  box(w.props, Frame(V(1.12, ground(1.12, -0.22), -0.22), 20), V(-0.07, -0.02, -0.07),
      V(0.07, 0.12, 0.07), kPlank);
  // Garden walls behind the start and along the west path.
  stoneWall(w.props, {{0.2, 0.45}, {0.8, 0.55}, {1.7, 0.5}}, 71);
  stoneWall(w.props, {{-2.15, -1.9}, {-2.05, -0.9}, {-1.85, 0.0}}, 72);
  bench(w.props, 1.65, -4.05, 200);
  for (int i = 0; i < 3; ++i) barrel(w.props, 4.1 + 0.04 * (i % 2), -2.1 + 0.14 * i, quayTop());
  box(w.props, Frame(V(4.1, quayTop(), -5.0), 12), V(-0.08, 0, -0.08), V(0.08, 0.14, 0.08), kPlank);
  box(w.props, Frame(V(4.12, quayTop() + 0.14, -5.0), 40), V(-0.06, 0, -0.06), V(0.06, 0.1, 0.06),
      kPlank);
}

void buildNature(World& w) {
  Random& random = w.random;
  // Trees: a few placed by hand for the opening view, the rest scattered.
  struct Tree {
    double x, z, size;
    bool pine;
  };
  const Tree placed[] = {
      {-1.1, -1.5, 1.1, false}, {-1.45, -7.25, 1.1, false}, {-2.3, -6.85, 0.95, true},
      {1.9, 0.05, 1.05, false}, {3.3, 2.2, 0.9, false},     {-3.2, 1.2, 1.1, false},
      {-5.1, -1.6, 1.0, false}, {-3.9, 3.0, 1.0, true},     {-1.6, 3.5, 0.9, false},
  };

  std::uint64_t seed = 1;
  for (const Tree& t : placed) {
    if (blocked(w, t.x, t.z, 0.3 * t.size)) {
      std::cerr << "gen_world: tree at (" << t.x << ", " << t.z << ") crowds a path or building\n";
      w.crowded = true;
    }
    const V at(t.x, ground(t.x, t.z), t.z);
    if (t.pine)
      conifer(w.trees, at, t.size, seed++);
    else
      deciduous(w.trees, at, t.size, seed++);
  }
  // Scatter more on open grass, apart from each other.
  std::vector<std::pair<double, double>> trunks;
  for (const Tree& t : placed) trunks.push_back({t.x, t.z});
  for (int tries = 0, made = 0; tries < 3000 && made < 30; ++tries) {
    const double x = random.range(-6.5, 5.0), z = random.range(-7.5, 4.5);
    const double g = ground(x, z);
    if (g < -0.12 || blocked(w, x, z, 0.4)) continue;
    // The opening view keeps the trees placed for it.
    if (planar(x, z) < 3.2 && z < 0.3) continue;
    bool near = false;
    for (const auto& t : trunks) near = near || planar(t.first - x, t.second - z) < 0.75;
    if (near) continue;
    const double size = random.range(0.8, 1.15);
    if (random.uniform() < 0.4)
      conifer(w.trees, V(x, g, z), size, 100 + tries);
    else
      deciduous(w.trees, V(x, g, z), size, 100 + tries);
    trunks.push_back({x, z});
    ++made;
  }
  // Shrubs along the house walls.
  for (const HouseSpec& h : kHouses) {
    const Frame f(V(h.x, 0, h.z), h.turn);
    for (int i = 0; i < 10; ++i) {
      const double u = random.range(-0.5, 0.5);
      const int side = static_cast<int>(random.uniform() * 4);
      const double off = 0.22;
      const V local = side == 0   ? V(u * h.width, 0, h.depth / 2 + off)
                      : side == 1 ? V(h.width / 2 + off, 0, u * h.depth)
                      : side == 2 ? V(u * h.width, 0, -h.depth / 2 - off)
                                  : V(-h.width / 2 - off, 0, u * h.depth);
      const V p = f.at(local);
      bool free = true;
      for (const auto& k : w.walks)
        free = free && pointSegmentDistance(p.x, p.z, k[0], k[1], k[2], k[3]) > 0.3;
      for (const auto& r : w.ribbons)
        for (const auto& q : r) free = free && planar(q.first - p.x, q.second - p.z) > 0.35;
      if (side == 0 && std::fabs(u) < 0.25) free = false;  // keep the door clear
      if (!free) continue;
      const double r0 = random.range(0.09, 0.15);
      blob(w.trees, V(p.x, ground(p.x, p.z) + r0 * 0.5, p.z), V(r0 * 1.2, r0, r0 * 1.2), 5, 8, 0.2,
           700 + static_cast<std::uint64_t>(i), kLeaves);
    }
  }
  // Grass tufts, thicker in front of the starting view.
  for (int tries = 0, made = 0; tries < 4000 && made < 320; ++tries) {
    const bool near = tries % 3 == 0;
    const double x = near ? random.range(-1.2, 2.6) : random.range(-6.5, 5.0);
    const double z = near ? random.range(-2.4, 0.4) : random.range(-7.5, 4.5);
    if (ground(x, z) < -0.15 || blocked(w, x, z, 0.04) || planar(x, z) < 0.8) continue;
    tuft(w.props, x, z, 2000 + tries);
    ++made;
  }
  // Rocks: along the shore and on the hills.
  for (int tries = 0, made = 0; tries < 3000 && made < 34; ++tries) {
    const double x = random.range(-7.5, 5.5), z = random.range(-8.5, 5.5);
    const double g = ground(x, z);
    const bool shore = g > -0.55 && g < -0.15;
    const bool hill = g > 0.18 && random.uniform() < 0.25;
    if (!(shore || hill) || blocked(w, x, z, 0.25)) continue;
    const double size = random.range(0.07, 0.2) * (shore ? 1.2 : 0.8);
    // One draw per statement: argument order is up to the compiler.
    const double length = size * random.range(1.0, 1.6);
    const double width = size * random.range(0.8, 1.3);
    const double turn = random.range(0, 180);
    boulder(w.rocks, V(x, g - size * 0.25, z), V(length, size, width), turn, 500 + tries, kRock);
    ++made;
  }
  // Rocks placed where the quay ends meet the natural shore.
  boulder(w.rocks, V(kQuayEast + 0.05, -0.4, kQuayNorth - 0.15), V(0.3, 0.25, 0.22), 20, 901,
          kRock);
  boulder(w.rocks, V(kQuayEast - 0.1, -0.38, kQuaySouth + 0.2), V(0.28, 0.22, 0.25), 70, 902,
          kRock);
}

}  // namespace genworld
