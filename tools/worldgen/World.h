// The island town and its waypoint network, modelled in scene space (y up,
// the camera looks towards -z, one unit is roughly six metres: a character
// is 0.3 tall) and converted to the files' axes on output: positions are
// written as (100x, 100y, -100z), normals as (x, y, -z), texture coordinates
// (s, t, r) as the line "s r t".
//
// The output must be byte-identical on every machine, so the generator uses
// the generators' own random numbers and trigonometry
// (tools/common/Deterministic.h) and prints quantised integers.
//
// What the modules share: the vector, the mesh and its shapes, the layout
// of the island, the terrain, the network's records and the hidden-face
// solids. Shapes.cpp, Terrain.cpp, Buildings.cpp, Nature.cpp, Town.cpp,
// HiddenFaces.cpp, Network.cpp and Main.cpp hold the rest.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/Deterministic.h"

namespace genworld {

using gen::clamp01;
using gen::datan;
using gen::datan2;
using gen::fixed;
using gen::kPi;
using gen::lerp;
using gen::rad;
using gen::Random;
using gen::sinCos;
using gen::smooth;

struct V {
  double x = 0, y = 0, z = 0;
  V() = default;
  constexpr V(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
  V operator+(const V& b) const { return {x + b.x, y + b.y, z + b.z}; }
  V operator-(const V& b) const { return {x - b.x, y - b.y, z - b.z}; }
  V operator-() const { return {-x, -y, -z}; }
  V operator*(double s) const { return {x * s, y * s, z * s}; }
  V operator/(double s) const { return {x / s, y / s, z / s}; }
};

inline double dot(const V& a, const V& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline V cross(const V& a, const V& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double len(const V& a) { return std::sqrt(dot(a, a)); }

inline V unit(const V& a) {
  const double l = len(a);
  return l > 0 ? a / l : V(0, 1, 0);
}

// Length on the ground plane (std::hypot may differ by a bit between libraries).
inline double planar(double a, double b) { return std::sqrt(a * a + b * b); }

double hashUnit(long long a, long long b, long long c, std::uint64_t seed);

// Smooth value noise in [-1, 1].
double noise3(double x, double y, double z, std::uint64_t seed);

double noise2(double x, double z, std::uint64_t seed);

enum Material {
  kGrass,
  kSand,
  kEarth,
  kCobble,
  kPlaster,
  kOchre,
  kStone,
  kDarkStone,
  kRoofTile,
  kSlate,
  kDoorWood,
  kGlass,
  kTrim,
  kPlank,
  kLeaves,
  kNeedles,
  kBark,
  kRock,
  kShutter,
  kHull,
  kCanvas,
  kMaterialCount
};

struct MaterialColour {
  Material id;
  double r, g, b;
};

// Light walls to dark roofs and doors: the pencil turns brightness into
// hatching density, so the tones are spread on purpose.
inline const MaterialColour kColours[kMaterialCount] = {
    {kGrass, 0.58, 0.70, 0.38},   {kSand, 0.90, 0.84, 0.64},      {kEarth, 0.56, 0.47, 0.36},
    {kCobble, 0.80, 0.76, 0.68},  {kPlaster, 0.96, 0.93, 0.86},   {kOchre, 0.92, 0.80, 0.58},
    {kStone, 0.76, 0.73, 0.67},   {kDarkStone, 0.50, 0.48, 0.46}, {kRoofTile, 0.52, 0.25, 0.18},
    {kSlate, 0.32, 0.32, 0.36},   {kDoorWood, 0.36, 0.23, 0.14},  {kGlass, 0.16, 0.20, 0.26},
    {kTrim, 0.98, 0.97, 0.94},    {kPlank, 0.64, 0.51, 0.37},     {kLeaves, 0.33, 0.52, 0.25},
    {kNeedles, 0.22, 0.38, 0.24}, {kBark, 0.38, 0.28, 0.20},      {kRock, 0.62, 0.60, 0.56},
    {kShutter, 0.30, 0.44, 0.40}, {kHull, 0.70, 0.28, 0.20},      {kCanvas, 0.93, 0.90, 0.82},
};

struct Face {
  int v[3];
  V normal;
  int material;
};

// A mesh keeps one texture coordinate per vertex; faces index both lists
// with the same number.
struct Mesh {
  std::vector<V> pos, nrm, tex;
  std::vector<Face> faces;

  int vertex(const V& p, const V& n, const V& t) {
    pos.push_back(p);
    nrm.push_back(n);
    tex.push_back(t);
    return static_cast<int>(pos.size()) - 1;
  }
  int vertex(const V& p, const V& n) { return vertex(p, n, boxUv(p, n)); }

  // Planar mapping along the normal's main axis, one repeat per unit.
  // Ties (faces at 45 degrees) go the same way whatever the last bit says.
  static V boxUv(const V& p, const V& n) {
    const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    if (ay >= ax - 1e-6 && ay >= az - 1e-6) return {p.x, p.z, 0};
    if (ax >= az - 1e-6) return {p.z, p.y, 0};
    return {p.x, p.y, 0};
  }

  // Adds a triangle wound counter-clockwise as seen from the side `outward`
  // points to; degenerate triangles are dropped.
  void tri(int a, int b, int c, int material, const V& outward) {
    V g = cross(pos[b] - pos[a], pos[c] - pos[a]);
    if (dot(g, outward) < 0) {
      std::swap(b, c);
      g = -g;
    }
    const double l = len(g);
    if (l < 1e-9) return;
    faces.push_back({{a, b, c}, g / l, material});
  }
  // Outward taken from the vertex normals.
  void tri(int a, int b, int c, int material) { tri(a, b, c, material, nrm[a] + nrm[b] + nrm[c]); }

  // Flat convex polygon, corners in either cyclic order.
  void poly(const std::vector<V>& pts, const V& outward, int material) {
    V n(0, 0, 0);
    for (size_t i = 0; i < pts.size(); ++i) {
      const V& p = pts[i];
      const V& q = pts[(i + 1) % pts.size()];
      n = n + V((p.y - q.y) * (p.z + q.z), (p.z - q.z) * (p.x + q.x), (p.x - q.x) * (p.y + q.y));
    }
    if (len(n) < 1e-12) return;
    n = unit(n);
    if (dot(n, outward) < 0) n = -n;
    std::vector<int> ids;
    for (const V& p : pts) ids.push_back(vertex(p, n));
    for (size_t i = 1; i + 1 < ids.size(); ++i) tri(ids[0], ids[i], ids[i + 1], material, n);
  }
  void quad(const V& a, const V& b, const V& c, const V& d, const V& outward, int material) {
    poly({a, b, c, d}, outward, material);
  }

  // Six-sided solid from corners indexed x + 2y + 4z; each face points away
  // from the solid's centre.
  void hexa(const V c[8], int material) {
    static const int kFaces[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                     {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
    V centre(0, 0, 0);
    for (int i = 0; i < 8; ++i) centre = centre + c[i];
    centre = centre / 8;
    for (const auto& f : kFaces) {
      const V mid = (c[f[0]] + c[f[1]] + c[f[2]] + c[f[3]]) / 4;
      quad(c[f[0]], c[f[1]], c[f[2]], c[f[3]], mid - centre, material);
    }
  }

  // Vertex normals as the area-weighted mean of the faces around each vertex.
  void smoothNormals(size_t firstVertex, size_t firstFace) {
    for (size_t i = firstVertex; i < pos.size(); ++i) nrm[i] = V(0, 0, 0);
    for (size_t f = firstFace; f < faces.size(); ++f) {
      const Face& face = faces[f];
      const V g = cross(pos[face.v[1]] - pos[face.v[0]], pos[face.v[2]] - pos[face.v[0]]);
      for (int k = 0; k < 3; ++k) nrm[face.v[k]] = nrm[face.v[k]] + g;
    }
    for (size_t i = firstVertex; i < pos.size(); ++i) nrm[i] = unit(nrm[i]);
  }
};

// A placement on the ground: origin plus a turn about y.
struct Frame {
  V origin;
  double c = 1, s = 0;
  Frame(const V& o, double degrees) : origin(o) { sinCos(rad(degrees), s, c); }
  // Turning by +degrees takes local +z towards +x.
  V dir(const V& d) const { return {c * d.x + s * d.z, d.y, -s * d.x + c * d.z}; }
  V at(const V& p) const { return origin + dir(p); }
  V at(double x, double y, double z) const { return at(V(x, y, z)); }
};

// Axis-aligned box in a frame's local space.
void box(Mesh& m, const Frame& f, const V& lo, const V& hi, int material);

// Surface of revolution about the frame's y axis. Each profile segment is
// its own band: smooth around, creased where the profile turns.
void lathe(Mesh& m, const Frame& f, const std::vector<std::pair<double, double>>& profile,
           int segments, int material, double phase = 0);

// Flat disc facing up (+1) or down (-1).
void disc(Mesh& m, const Frame& f, double r, double y, int segments, double facing, int material,
          double phase = 0);

// Cylinder or frustum with both caps.
void cylinder(Mesh& m, const Frame& f, double r0, double r1, double y0, double y1, int segments,
              int material);

// A lumpy ellipsoid with smooth normals (canopies, shrubs, sacks, the sail).
void blob(Mesh& m, const V& centre, const V& radii, int rings, int segments, double lumps,
          std::uint64_t seed, int material);

// A faceted boulder: a subdivided icosahedron pushed about by noise.
void boulder(Mesh& m, const V& centre, const V& radii, double turnDegrees, std::uint64_t seed,
             int material);

// The island's centre and the plaza, tower and bridge the paths meet at.
constexpr V kIslandCentre(-0.4, 0, -1.5);
constexpr V kPlaza(0.5, 0, -2.8);
const double kPlazaRadius = 1.15;
constexpr V kTower(2.6, 0, -6.25);
const double kTerraceHalf = 0.85;
const int kSteps = 4;
const double kTread = 0.09;
const double kBridgeX = -0.6, kBridgeZ = -6.3, kBridgeHalf = 1.1;
const double kInletEndZ = -5.65;
const double kQuayWest = 3.3, kQuayEast = 4.3, kQuayNorth = -5.2, kQuaySouth = -0.2;
const double kJettyZ = -2.6, kJettyEnd = 6.0;
const double kWater = -0.45;
const double kPathWidth = 0.36;
const double kPathLift = 0.012;

struct HouseSpec {
  double x, z, turn, width, depth, height;
  int wall, roof;
  bool chimney;
};

inline const std::vector<HouseSpec> kHouses = {
    {-1.75, -2.75, 90, 1.10, 0.95, 0.82, kPlaster, kRoofTile, true},  // by the plaza, door east
    {2.95, -2.3, -90, 1.10, 0.85, 0.88, kOchre, kSlate, true},        // by the plaza, door west
    {-4.3, -5.6, 15, 1.00, 0.85, 0.72, kOchre, kRoofTile, false},     // west of the inlet
    {-3.9, -0.30, 80, 1.20, 0.90, 0.80, kPlaster, kSlate, true},      // west path
    {0.8, 1.4, -10, 1.15, 0.90, 0.78, kPlaster, kRoofTile, true},     // behind the start
    {-2.10, 2.45, 20, 0.95, 0.80, 0.70, kOchre, kRoofTile, false},    // south hill
};

double pointSegmentDistance(double px, double pz, double ax, double az, double bx, double bz);

// Rolling ground, before the flat pads, the coast and the carved water.
double inlandRaw(double x, double z);

// Paving of the quay and the jetty, level with the ground behind the quay.
double quayTop();

// Footprints that the terrain flattens (houses, plaza, terrace, quay).
struct Pad {
  double x, z, turn, halfW, halfD, margin, height;
  bool round;
};

std::vector<Pad>& pads();

double padMask(const Pad& p, double x, double z);

double inlandHeight(double x, double z);

// Coast distance from the island's centre by compass bearing (0 = north,
// towards -z; 90 = east), every 22.5 degrees. The east side runs straight
// along the quay; the north-east stays inside the light's square.
const double kCoast[16] = {6.1, 6.7, 6.2, 5.2, 4.8, 5.2, 5.9, 6.0,
                           5.9, 6.1, 6.3, 6.4, 6.5, 6.6, 6.6, 6.3};

double coastDistance(double dx, double dz);

double terrainHeight(double x, double z);

// The terrain as drawn: heights on a grid, two triangles per cell split
// along the same diagonal, so queries match the mesh exactly.
struct TerrainGrid {
  double x0 = -9.0, z0 = -10.5, step = 0.1;
  int nx = 180, nz = 170;
  std::vector<double> h;

  double at(int i, int k) const { return h[static_cast<size_t>(k) * (nx + 1) + i]; }
  void build() {
    h.resize(static_cast<size_t>(nx + 1) * (nz + 1));
    for (int k = 0; k <= nz; ++k)
      for (int i = 0; i <= nx; ++i)
        h[static_cast<size_t>(k) * (nx + 1) + i] = terrainHeight(x0 + i * step, z0 + k * step);
  }
  double height(double x, double z) const {
    const double gx = (x - x0) / step, gz = (z - z0) / step;
    int i = static_cast<int>(std::floor(gx)), k = static_cast<int>(std::floor(gz));
    i = std::clamp(i, 0, nx - 1);
    k = std::clamp(k, 0, nz - 1);
    const double fx = gx - i, fz = gz - k;
    const double h00 = at(i, k), h10 = at(i + 1, k), h01 = at(i, k + 1), h11 = at(i + 1, k + 1);
    if (fx >= fz) return h00 + (h10 - h00) * fx + (h11 - h10) * fz;
    return h00 + (h11 - h01) * fx + (h01 - h00) * fz;
  }
  V normal(double x, double z) const {
    const double e = step;
    return unit(V(height(x - e, z) - height(x + e, z), 2 * e, height(x, z - e) - height(x, z + e)));
  }
};

TerrainGrid& grid();

double ground(double x, double z);

// Lowest and highest ground under a footprint.
void groundRange(const Frame& f, double halfW, double halfD, double& lo, double& hi);

// Terrain triangles are cut along the sand line and the steep-slope line,
// so the colour changes follow smooth contours instead of grid steps.
void buildTerrain(Mesh& m);

struct Node {
  std::string name;
  double x, z;
};

// A cobbled path between two named waypoints, through control points.
struct PathSpec {
  std::string from, to;
  std::vector<std::pair<double, double>> via;
};

// Uniform Catmull-Rom through the control points, resampled by arc length.
std::vector<std::pair<double, double>> samplePath(const std::vector<std::pair<double, double>>& ctl,
                                                  double spacing);

// The path's line from its first waypoint through its control points to its
// last, resampled every `spacing`.
std::vector<std::pair<double, double>> pathPoints(const std::vector<Node>& nodeList,
                                                  const PathSpec& path, double spacing);

void ribbon(Mesh& m, const std::vector<std::pair<double, double>>& pts, double width, double lift,
            int material);

struct Opening {
  double u, v, w, h;
  bool door;
};

// One outside wall of a house: the rectangle from u = 0..length and
// v = bottom..top (local to the panel) minus the openings, each opening
// recessed into the wall with reveals and a back face.
void wallPanel(Mesh& walls, Mesh& trim, const Frame& f, const V& origin, const V& along,
               const V& out, double length, double bottom, double top,
               const std::vector<Opening>& openings, int wallMaterial);

void house(Mesh& walls, Mesh& roofs, Mesh& trim, const HouseSpec& spec, Random& random);

double terraceTop();

// A flight of steps rising from `foot` (on the ground) along `dir` to a
// landing at `topY`; the last riser is the landing's own edge, at
// (steps - 1) treads from the foot.
void stairs(Mesh& m, const V& foot, const V& dir, double width, double topY, int steps,
            double tread, int material);

void tower(Mesh& m, Mesh& trim);

// Deck height of the humpbacked bridge at u along its axis (west to east).
double bridgeDeck(double u, double endWest, double endEast);

double bridgeEnd(int side);

void bridge(Mesh& m);

void harbour(Mesh& m, Mesh& props);

// Lobes of one canopy overlap: a lobe's faces that lie wholly inside another
// lobe can never be seen. Inside the lobe's ellipsoid shrunk to this share
// counts as inside its faceted, lumpy surface (lumps of at most 16 % and
// faces spanning under 25 degrees keep the surface beyond 0.76).
const double kSurelyInsideLobe = 0.75;

bool insideLobe(const V& p, const V& centre, const V& radii);

void deciduous(Mesh& m, const V& at, double size, std::uint64_t seed);

void conifer(Mesh& m, const V& at, double size, std::uint64_t seed);

void lamp(Mesh& m, double x, double z);

void bench(Mesh& m, double x, double z, double turn);

void well(Mesh& m, Mesh& roofs);

// Cylinder between two points with flat caps; smooth round the side.
void rod(Mesh& m, const V& a, const V& b, double r, int segments, int material);

// A hand cart with a load of barrels and sacks.
void cart(Mesh& m, double x, double z, double turn);

// A dry-stone field wall along a polyline.
void stoneWall(Mesh& m, const std::vector<std::pair<double, double>>& line, std::uint64_t seed);

// A tuft of grass: a few thin three-sided blades leaning outwards.
void tuft(Mesh& m, double x, double z, std::uint64_t seed);

void barrel(Mesh& m, double x, double z, double y0);

struct Waypoint {
  double x, y, z;
  std::vector<int> links;
};

// Everything drawn, binned by xz cells for the walkable-height query.
struct SurfaceIndex {
  struct Tri {
    V a, b, c;
  };
  std::vector<Tri> tris;
  double cell = 0.25, x0 = -12, z0 = -14;
  int nx = 100, nz = 100;
  std::vector<std::vector<int>> bins;

  void add(const Mesh& m) {
    for (const Face& f : m.faces) tris.push_back({m.pos[f.v[0]], m.pos[f.v[1]], m.pos[f.v[2]]});
  }
  void finish() {
    bins.assign(static_cast<size_t>(nx) * nz, {});
    for (size_t t = 0; t < tris.size(); ++t) {
      const Tri& tr = tris[t];
      const double lx = std::min({tr.a.x, tr.b.x, tr.c.x}), hx = std::max({tr.a.x, tr.b.x, tr.c.x});
      const double lz = std::min({tr.a.z, tr.b.z, tr.c.z}), hz = std::max({tr.a.z, tr.b.z, tr.c.z});
      const int i0 = std::max(0, static_cast<int>((lx - x0) / cell));
      const int i1 = std::min(nx - 1, static_cast<int>((hx - x0) / cell));
      const int k0 = std::max(0, static_cast<int>((lz - z0) / cell));
      const int k1 = std::min(nz - 1, static_cast<int>((hz - z0) / cell));
      for (int k = k0; k <= k1; ++k)
        for (int i = i0; i <= i1; ++i)
          bins[static_cast<size_t>(k) * nx + i].push_back(static_cast<int>(t));
    }
  }
  // Highest surface straight above or below (x, z).
  double highest(double x, double z) const {
    const int i = static_cast<int>((x - x0) / cell), k = static_cast<int>((z - z0) / cell);
    double best = -1e9;
    if (i < 0 || k < 0 || i >= nx || k >= nz) return best;
    for (int t : bins[static_cast<size_t>(k) * nx + i]) {
      const Tri& tr = tris[t];
      const double d =
          (tr.b.x - tr.a.x) * (tr.c.z - tr.a.z) - (tr.c.x - tr.a.x) * (tr.b.z - tr.a.z);
      if (std::fabs(d) < 1e-12) continue;
      const double u = ((x - tr.a.x) * (tr.c.z - tr.a.z) - (tr.c.x - tr.a.x) * (z - tr.a.z)) / d;
      const double v = ((tr.b.x - tr.a.x) * (z - tr.a.z) - (x - tr.a.x) * (tr.b.z - tr.a.z)) / d;
      if (u < -1e-9 || v < -1e-9 || u + v > 1 + 1e-9) continue;
      best = std::max(best, tr.a.y + u * (tr.b.y - tr.a.y) + v * (tr.c.y - tr.a.y));
    }
    return best;
  }
};

std::vector<Node> nodes();

std::vector<PathSpec> paths();

void addPads();

struct World {
  Mesh terrain, paving, walls, roofs, trim, tower, bridge, harbour, trees, rocks, props;
  std::vector<Waypoint> waypoints;
  std::vector<Node> nodeList;
  std::vector<std::vector<std::pair<double, double>>> ribbons;
  // Every straight walk a character makes: the links, and the first walk
  // from one unit in -x and -z to each waypoint.
  std::vector<std::array<double, 4>> walks;
  Random random{20240611};
  bool crowded = false;
};

// Keep-out test for trees and rocks: paths, houses, plaza, terrace, bridge, quay.
bool blocked(const World& w, double x, double z, double clearance);

// Ground, paths and everything built; trees and rocks come after the network.
void buildFixed(World& w);

void buildNature(World& w);

// Below the water plane at its lowest (it rises and falls by 0.005).
bool underWater(const V& p);

// The closed solids standing on the ground: the house bodies (walls from
// below the floor up to the eaves, window and door recesses backed, the roof
// on top), the quay block, the tower's terrace, and the plaza's disc with its
// kerb all round. Terrain wholly inside one of them is covered on every side.
class Solids {
 public:
  Solids() : quayTop_(quayTop()), terraceTop_(terraceTop()) {
    double s, c;
    // The disc and its kerb are 64-gons: inside the circle their edges cut.
    sinCos(kPi / 64, s, c);
    plazaInside_ = kPlazaRadius * c - kMargin;
    for (const HouseSpec& h : kHouses) floors_.push_back(ground(h.x, h.z));
  }

  // Which solid holds p, or -1.
  int around(const V& p) const {
    const double e = kMargin;
    for (size_t i = 0; i < kHouses.size(); ++i) {
      const HouseSpec& h = kHouses[i];
      double s, c;
      sinCos(rad(h.turn), s, c);
      // Inverse of Frame::dir.
      const double dx = p.x - h.x, dz = p.z - h.z;
      const double lx = c * dx - s * dz, lz = s * dx + c * dz;
      if (std::fabs(lx) < h.width / 2 - e && std::fabs(lz) < h.depth / 2 - e &&
          p.y > floors_[i] - 0.6 + e && p.y < floors_[i] + h.height - e)
        return static_cast<int>(i);
    }
    const int next = static_cast<int>(kHouses.size());
    if (p.x > kQuayWest + e && p.x < kQuayEast - e && p.z > kQuayNorth + e &&
        p.z < kQuaySouth - e && p.y > -1.0 + e && p.y < quayTop_ - e)
      return next;
    if (std::fabs(p.x - kTower.x) < kTerraceHalf - e &&
        std::fabs(p.z - kTower.z) < kTerraceHalf - e && p.y > -0.5 + e && p.y < terraceTop_ - e)
      return next + 1;
    const double dx = p.x - kPlaza.x, dz = p.z - kPlaza.z;
    if (dx * dx + dz * dz < plazaInside_ * plazaInside_ && p.y < ground(p.x, p.z) + kPathLift)
      return next + 2;
    return -1;
  }

 private:
  static constexpr double kMargin = 0.001;
  double quayTop_, terraceTop_, plazaInside_;
  std::vector<double> floors_;
};

// Drops the mesh's faces under the water and, given the solids, its faces
// inside one of them (all three corners in the same convex solid), and the
// vertices only those faces used.
void dropHiddenFaces(Mesh& m, const Solids* solids);

void writeScene(const std::vector<const Mesh*>& meshes, const std::string& path);

// Whether the walk a character makes at the start, from one unit in -x and
// -z straight to the waypoint at the waypoint's height, stays on the ground.
bool startClear(const SurfaceIndex& surfaces, double x, double z);

void buildNetwork(World& w, const SurfaceIndex& surfaces);

// Reports how the walks lie on the finished scene; false if a waypoint is
// unusable.
bool checkNetwork(const World& w, const SurfaceIndex& surfaces, int& openStarts);

void writeWaypoints(const std::vector<Waypoint>& points, const std::string& path);

}  // namespace genworld
