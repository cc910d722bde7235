// Houses with their recessed openings, the tower on its terrace, the
// humpbacked bridge and the harbour.
#include "tools/worldgen/World.h"

namespace genworld {

// One outside wall of a house: the rectangle from u = 0..length and
// v = bottom..top (local to the panel) minus the openings, each opening
// recessed into the wall with reveals and a back face.
void wallPanel(Mesh& walls, Mesh& trim, const Frame& f, const V& origin, const V& along,
               const V& out, double length, double bottom, double top,
               const std::vector<Opening>& openings, int wallMaterial) {
  auto P = [&](double u, double v, double depth) {
    return f.at(origin + along * u + V(0, v, 0) + out * depth);
  };
  const V outward = f.dir(out);
  std::vector<double> us = {0, length}, vs = {bottom, top};
  for (const Opening& o : openings) {
    us.push_back(o.u - o.w / 2);
    us.push_back(o.u + o.w / 2);
    vs.push_back(o.v);
    vs.push_back(o.v + o.h);
  }
  std::sort(us.begin(), us.end());
  std::sort(vs.begin(), vs.end());
  us.erase(std::unique(us.begin(), us.end()), us.end());
  vs.erase(std::unique(vs.begin(), vs.end()), vs.end());
  for (size_t i = 0; i + 1 < us.size(); ++i)
    for (size_t k = 0; k + 1 < vs.size(); ++k) {
      const double cu = (us[i] + us[i + 1]) / 2, cv = (vs[k] + vs[k + 1]) / 2;
      bool hole = false;
      for (const Opening& o : openings)
        if (std::fabs(cu - o.u) < o.w / 2 && cv > o.v && cv < o.v + o.h) hole = true;
      if (hole) continue;
      walls.quad(P(us[i], vs[k], 0), P(us[i + 1], vs[k], 0), P(us[i + 1], vs[k + 1], 0),
                 P(us[i], vs[k + 1], 0), outward, wallMaterial);
    }
  const V alongW = f.dir(along);
  for (const Opening& o : openings) {
    const double u0 = o.u - o.w / 2, u1 = o.u + o.w / 2, v0 = o.v, v1 = o.v + o.h;
    const double d = o.door ? -0.05 : -0.04;
    walls.quad(P(u0, v0, 0), P(u0, v1, 0), P(u0, v1, d), P(u0, v0, d), alongW, wallMaterial);
    walls.quad(P(u1, v0, 0), P(u1, v1, 0), P(u1, v1, d), P(u1, v0, d), -alongW, wallMaterial);
    walls.quad(P(u0, v1, 0), P(u1, v1, 0), P(u1, v1, d), P(u0, v1, d), V(0, -1, 0), wallMaterial);
    walls.quad(P(u0, v0, 0), P(u1, v0, 0), P(u1, v0, d), P(u0, v0, d), V(0, 1, 0), wallMaterial);
    walls.quad(P(u0, v0, d), P(u1, v0, d), P(u1, v1, d), P(u0, v1, d), outward,
               o.door ? kDoorWood : kGlass);
    auto panelBox = [&](double a0, double a1, double b0, double b1, double c0, double c1,
                        int material) {
      V c[8];
      for (int i = 0; i < 8; ++i) c[i] = P((i & 1) ? a1 : a0, (i & 2) ? b1 : b0, (i & 4) ? c1 : c0);
      trim.hexa(c, material);
    };
    if (o.door) {
      // Door planks and a step up to the threshold.
      panelBox(o.u - 0.006, o.u + 0.006, v0, v1 - 0.02, d, d + 0.008, kBark);
      panelBox(u0 - 0.03, u1 + 0.03, v0 - 0.25, v0 + 0.025, -0.02, 0.08, kStone);
    } else {
      panelBox(u0 - 0.02, u1 + 0.02, v0 - 0.025, v0, -0.01, 0.035, kTrim);  // sill
      panelBox(o.u - 0.008, o.u + 0.008, v0, v1, d, d + 0.012, kTrim);      // mullion
      panelBox(u0, u1, v0 + o.h * 0.55 - 0.008, v0 + o.h * 0.55 + 0.008, d, d + 0.012, kTrim);
      panelBox(u0 - o.w / 2 - 0.012, u0 - 0.012, v0, v1, 0, 0.014, kShutter);  // shutters
      panelBox(u1 + 0.012, u1 + o.w / 2 + 0.012, v0, v1, 0, 0.014, kShutter);
    }
  }
}

void house(Mesh& walls, Mesh& roofs, Mesh& trim, const HouseSpec& spec, Random& random) {
  const double floorY = ground(spec.x, spec.z);
  const Frame f(V(spec.x, floorY, spec.z), spec.turn);
  const double W = spec.width, D = spec.depth, H = spec.height;
  const double bottom = -0.6;
  const double pitch = rad(38 + 6 * random.uniform());
  double sp, cp;
  sinCos(pitch, sp, cp);
  const double tp = sp / cp;
  const double rise = D / 2 * tp;

  // Front (+z) holds the door; the others windows. Panels run left to right
  // as seen from outside.
  const double lower = 0.13, upper = 0.5, winH = 0.22, winW = 0.15;
  std::vector<Opening> front = {{W * 0.5 + (random.uniform() - 0.5) * 0.1, 0, 0.2, 0.4, true}};
  std::vector<Opening> back, right, left;
  for (double u : {W * 0.2, W * 0.8}) front.push_back({u, upper, winW, winH, false});
  front.push_back({W * 0.18, lower + 0.02, winW, winH, false});
  front.push_back({W * 0.82, lower + 0.02, winW, winH, false});
  for (double u : {W * 0.25, W * 0.75}) {
    back.push_back({u, lower + 0.02, winW, winH, false});
    back.push_back({u, upper, winW, winH, false});
  }
  right.push_back({D * 0.5, upper, winW, winH, false});
  left.push_back({D * 0.5, lower + 0.02, winW, winH, false});
  if (H > 0.75) left.push_back({D * 0.5, upper, winW, winH, false});

  wallPanel(walls, trim, f, V(-W / 2, 0, D / 2), V(1, 0, 0), V(0, 0, 1), W, bottom, H, front,
            spec.wall);
  wallPanel(walls, trim, f, V(W / 2, 0, D / 2), V(0, 0, -1), V(1, 0, 0), D, bottom, H, right,
            spec.wall);
  wallPanel(walls, trim, f, V(W / 2, 0, -D / 2), V(-1, 0, 0), V(0, 0, -1), W, bottom, H, back,
            spec.wall);
  wallPanel(walls, trim, f, V(-W / 2, 0, -D / 2), V(0, 0, 1), V(-1, 0, 0), D, bottom, H, left,
            spec.wall);
  // Gables under the ridge, which runs along local x.
  for (int side = -1; side <= 1; side += 2) {
    const double x = side * W / 2;
    walls.poly({f.at(x, H, D / 2), f.at(x, H, -D / 2), f.at(x, H + rise, 0)}, f.dir(V(side, 0, 0)),
               spec.wall);
  }
  // Plinth around the foot of the walls.
  const double pl = 0.012;
  box(trim, f, V(-W / 2 - pl, bottom, D / 2 - 0.02), V(W / 2 + pl, 0.07, D / 2 + pl), kStone);
  box(trim, f, V(-W / 2 - pl, bottom, -D / 2 - pl), V(W / 2 + pl, 0.07, -D / 2 + 0.02), kStone);
  box(trim, f, V(-W / 2 - pl, bottom, -D / 2), V(-W / 2 + 0.02, 0.07, D / 2), kStone);
  box(trim, f, V(W / 2 - 0.02, bottom, -D / 2), V(W / 2 + pl, 0.07, D / 2), kStone);
  // Corner stones.
  for (int sx = -1; sx <= 1; sx += 2)
    for (int sz = -1; sz <= 1; sz += 2)
      for (double v = 0.12; v < H - 0.05; v += 0.16) {
        const double x0 = sx * (W / 2 + 0.006), z0 = sz * (D / 2 + 0.006);
        box(trim, f, V(std::min(x0, x0 - sx * 0.08), v, std::min(z0, z0 - sz * 0.05)),
            V(std::max(x0, x0 - sx * 0.08), v + 0.07, std::max(z0, z0 - sz * 0.05)), kStone);
      }

  // Roof: two slabs with eaves and gable overhangs, and a ridge cap.
  const double eave = 0.09, gable = 0.07, thick = 0.035;
  for (int side = -1; side <= 1; side += 2) {
    const double zE = side * (D / 2 + eave), yE = H - eave * tp;
    const double yR = H + rise;
    const V n(0, cp, side * sp);
    const V lowEave(0, yE, zE), lowRidge(0, yR, 0);
    const V upEave = lowEave + n * thick, upRidge(0, yR + thick / cp, 0);
    const V pts[4] = {lowEave, upEave, lowRidge, upRidge};
    V c[8];
    for (int i = 0; i < 8; ++i) {
      const double x = (i & 1) ? W / 2 + gable : -W / 2 - gable;
      const V p = pts[((i & 2) ? 1 : 0) + ((i & 4) ? 2 : 0)];
      c[i] = f.at(x, p.y, p.z);
    }
    roofs.hexa(c, spec.roof);
  }
  const double capY = H + rise + thick / cp;
  box(roofs, f, V(-W / 2 - gable - 0.01, capY - 0.03, -0.035),
      V(W / 2 + gable + 0.01, capY + 0.025, 0.035), spec.roof == kSlate ? kDarkStone : kRoofTile);
  if (spec.chimney) {
    const double cx = -W * 0.3, cz = -D * 0.22;
    box(trim, f, V(cx - 0.07, H, cz - 0.07), V(cx + 0.07, capY + 0.16, cz + 0.07), kStone);
    box(trim, f, V(cx - 0.085, capY + 0.16, cz - 0.085), V(cx + 0.085, capY + 0.2, cz + 0.085),
        kDarkStone);
  }
}

double terraceTop() {
  double lo, hi;
  groundRange(Frame(kTower, 0), kTerraceHalf, kTerraceHalf, lo, hi);
  return hi + 0.12;
}

// A flight of steps rising from `foot` (on the ground) along `dir` to a
// landing at `topY`; the last riser is the landing's own edge, at
// (steps - 1) treads from the foot.
void stairs(Mesh& m, const V& foot, const V& dir, double width, double topY, int steps,
            double tread, int material) {
  const V side = unit(cross(dir, V(0, 1, 0)));
  const double g = foot.y, run = tread * (steps - 1);
  for (int k = 1; k < steps; ++k) {
    const double y = g + (topY - g) * k / steps;
    const double d0 = tread * (k - 1), d1 = run + 0.05;
    V c[8];
    for (int i = 0; i < 8; ++i) {
      const V p = foot + dir * ((i & 4) ? d1 : d0) + side * (((i & 1) ? 0.5 : -0.5) * width);
      c[i] = V(p.x, (i & 2) ? y : g - 0.3, p.z);
    }
    m.hexa(c, material);
  }
}

void tower(Mesh& m, Mesh& trim) {
  const double top = terraceTop();
  const Frame base(V(kTower.x, 0, kTower.z), 0);
  box(m, base, V(-kTerraceHalf, -0.5, -kTerraceHalf), V(kTerraceHalf, top, kTerraceHalf), kStone);
  // Coping round the terrace edge.
  const double e = kTerraceHalf + 0.015;
  box(trim, base, V(-e, top - 0.04, -e), V(e, top + 0.008, -e + 0.06), kDarkStone);
  box(trim, base, V(-e, top - 0.04, e - 0.06), V(-0.3, top + 0.008, e), kDarkStone);
  box(trim, base, V(0.3, top - 0.04, e - 0.06), V(e, top + 0.008, e), kDarkStone);
  box(trim, base, V(e - 0.06, top - 0.04, -e + 0.06), V(e, top + 0.008, e - 0.06), kDarkStone);
  box(trim, base, V(-e, top - 0.04, -e + 0.06), V(-e + 0.06, top + 0.008, -0.3), kDarkStone);
  box(trim, base, V(-e, top - 0.04, 0.3), V(-e + 0.06, top + 0.008, e - 0.06), kDarkStone);

  // Steps down to the south (towards the plaza) and to the west (the bridge).
  {
    const int n = kSteps;
    const double tread = kTread;
    V foot(kTower.x, 0, kTower.z + kTerraceHalf + (n - 1) * tread);
    foot.y = ground(foot.x, foot.z);
    stairs(m, foot, V(0, 0, -1), 0.56, top, n, tread, kStone);
    V footW(kTower.x - kTerraceHalf - (n - 1) * tread, 0, kTower.z);
    footW.y = ground(footW.x, footW.z);
    stairs(m, footW, V(1, 0, 0), 0.56, top, n, tread, kStone);
  }

  // Lighthouse: tapering white shaft with a dark band, gallery, lantern, cap.
  const Frame f(V(kTower.x, top, kTower.z), 0);
  const double r0 = 0.46, r1 = 0.38, h = 1.45;
  auto radiusAt = [&](double y) { return r0 + (r1 - r0) * y / h; };
  lathe(m, f, {{r0, -0.02}, {radiusAt(0.55), 0.55}}, 40, kPlaster);
  lathe(m, f, {{radiusAt(0.55), 0.55}, {radiusAt(0.85), 0.85}}, 40, kSlate);
  lathe(m, f, {{radiusAt(0.85), 0.85}, {r1, h}}, 40, kPlaster);
  lathe(m, f, {{r1, h}, {0.5, h + 0.05}, {0.5, h + 0.1}, {0.0, h + 0.1}}, 40, kDarkStone);
  for (int i = 0; i < 16; ++i) {
    double s, c;
    sinCos(2 * kPi * i / 16, s, c);
    cylinder(trim, Frame(f.at(s * 0.46, 0, c * 0.46), 0), 0.012, 0.012, h + 0.1, h + 0.25, 6,
             kDarkStone);
  }
  lathe(trim, f,
        {{0.45, h + 0.25}, {0.47, h + 0.25}, {0.47, h + 0.27}, {0.45, h + 0.27}, {0.45, h + 0.25}},
        40, kDarkStone);
  lathe(m, f, {{0.26, h + 0.1}, {0.26, h + 0.36}}, 24, kGlass);
  lathe(m, f, {{0.33, h + 0.36}, {0.33, h + 0.39}, {0.0, h + 0.62}}, 24, kRoofTile);
  disc(m, f, 0.33, h + 0.36, 24, -1, kRoofTile);
  blob(trim, f.at(0, h + 0.65, 0), V(0.04, 0.04, 0.04), 6, 8, 0, 1, kDarkStone);

  // Door portal facing the south steps, recessed between its jambs.
  const double zf = radiusAt(0.2) + 0.05;
  box(trim, f, V(-0.16, -0.02, zf - 0.12), V(-0.1, 0.46, zf), kStone);
  box(trim, f, V(0.1, -0.02, zf - 0.12), V(0.16, 0.46, zf), kStone);
  box(trim, f, V(-0.16, 0.4, zf - 0.12), V(0.16, 0.48, zf + 0.01), kStone);
  box(trim, f, V(-0.1, 0, zf - 0.12), V(0.1, 0.4, zf - 0.035), kDoorWood);
  // Windows up the shaft, each a dark pane in a stone frame.
  const double windows[][3] = {{0.95, 25, 0}, {1.2, -60, 0}, {0.7, 120, 0}, {1.15, 200, 0}};
  for (const auto& w : windows) {
    const Frame wf(f.at(0, 0, 0), w[1]);
    const double z = radiusAt(w[0]);
    box(trim, wf, V(-0.07, w[0] - 0.1, z - 0.05), V(0.07, w[0] + 0.12, z + 0.02), kStone);
    box(trim, wf, V(-0.045, w[0] - 0.075, z - 0.04), V(0.045, w[0] + 0.095, z + 0.03), kGlass);
  }
}

// Deck height of the humpbacked bridge at u along its axis (west to east).
double bridgeDeck(double u, double endWest, double endEast) {
  const double flat = 0.35, crown = std::max(endWest, endEast) + 0.2;
  if (u <= -flat) return lerp(endWest, crown, (u + kBridgeHalf) / (kBridgeHalf - flat));
  if (u >= flat) return lerp(crown, endEast, (u - flat) / (kBridgeHalf - flat));
  return crown;
}

double bridgeEnd(int side) {
  const double x = kBridgeX + side * kBridgeHalf;
  return ground(x, kBridgeZ) + 0.015;
}

void bridge(Mesh& m) {
  const double hw = 0.3, wall = 0.06, parapet = 0.11, span = 0.56, spring = -0.75;
  const double ew = bridgeEnd(-1), ee = bridgeEnd(1);
  const double crown = bridgeDeck(0, ew, ee);
  const double apex = crown - 0.13;
  std::vector<double> us;
  for (int i = 0; i <= 12; ++i) us.push_back(-kBridgeHalf + (kBridgeHalf - span) * i / 12);
  for (int i = 1; i < 28; ++i) {
    double s, c;
    sinCos(kPi - kPi * i / 28, s, c);
    us.push_back(span * c);
  }
  for (int i = 0; i <= 12; ++i) us.push_back(span + (kBridgeHalf - span) * i / 12);
  us.push_back(-0.35);
  us.push_back(0.35);
  std::sort(us.begin(), us.end());
  us.erase(
      std::unique(us.begin(), us.end(), [](double a, double b) { return std::fabs(a - b) < 1e-6; }),
      us.end());
  auto top = [&](double u) { return bridgeDeck(u, ew, ee); };
  auto under = [&](double u) {
    if (std::fabs(u) >= span - 1e-9) return -0.95;
    const double t = u / span;
    return spring + (apex - spring) * std::sqrt(std::max(0.0, 1 - t * t));
  };
  auto P = [&](double u, double y, double w) { return V(kBridgeX + u, y, kBridgeZ + w); };
  for (size_t i = 0; i + 1 < us.size(); ++i) {
    const double a = us[i], b = us[i + 1];
    // Outer faces from the arch or footing up to the parapet top.
    for (int side = -1; side <= 1; side += 2) {
      const double w = side * hw;
      m.quad(P(a, under(a), w), P(b, under(b), w), P(b, top(b) + parapet, w),
             P(a, top(a) + parapet, w), V(0, 0, side), kStone);
      const double wi = side * (hw - wall);
      m.quad(P(a, top(a), wi), P(b, top(b), wi), P(b, top(b) + parapet, wi),
             P(a, top(a) + parapet, wi), V(0, 0, -side), kStone);
      m.quad(P(a, top(a) + parapet, wi), P(b, top(b) + parapet, wi), P(b, top(b) + parapet, w),
             P(a, top(a) + parapet, w), V(0, 1, 0), kDarkStone);
    }
    m.quad(P(a, top(a), -(hw - wall)), P(b, top(b), -(hw - wall)), P(b, top(b), hw - wall),
           P(a, top(a), hw - wall), V(0, 1, 0), kCobble);
  }
  // Arch soffit, smooth as it curves.
  {
    std::vector<int> north, south;
    for (double u : us) {
      if (std::fabs(u) > span + 1e-9) continue;
      const double t = u / span;
      const double dy = std::fabs(t) < 1 ? -(apex - spring) * t / span / std::sqrt(1 - t * t) : 0;
      V n = std::fabs(t) < 0.999 ? unit(V(dy, -1, 0)) : V(-t, 0, 0);
      north.push_back(m.vertex(P(u, under(u), -hw), n, V(u, 0, -hw)));
      south.push_back(m.vertex(P(u, under(u), hw), n, V(u, 0, hw)));
    }
    for (size_t i = 0; i + 1 < north.size(); ++i) {
      m.tri(north[i], north[i + 1], south[i + 1], kStone);
      m.tri(north[i], south[i + 1], south[i], kStone);
    }
  }
  // Ends, mostly buried.
  for (int side = -1; side <= 1; side += 2) {
    const double u = side * kBridgeHalf;
    m.quad(P(u, -0.95, -hw), P(u, -0.95, hw), P(u, top(u), hw), P(u, top(u), -hw), V(side, 0, 0),
           kStone);
    for (int w = -1; w <= 1; w += 2)
      m.quad(P(u, top(u), w * hw), P(u, top(u), w * (hw - wall)),
             P(u, top(u) + parapet, w * (hw - wall)), P(u, top(u) + parapet, w * hw), V(side, 0, 0),
             kStone);
  }
  // Arch ring stones standing proud of the faces.
  for (int side = -1; side <= 1; side += 2)
    for (int i = 0; i < 11; ++i) {
      const double a0 = kPi * (i + 0.08) / 11, a1 = kPi * (i + 0.92) / 11;
      V c[8];
      for (int k = 0; k < 8; ++k) {
        const double ang = (k & 1) ? a1 : a0;
        double s, cs;
        sinCos(ang, s, cs);
        const double grow = (k & 2) ? 1.0 : 0.0;
        const double u = -cs * (span + 0.09 * grow);
        const double y = spring + s * (apex - spring + 0.09 * grow);
        const double w = side * (hw + ((k & 4) ? 0.012 : -0.01));
        c[k] = P(u, y, w);
      }
      m.hexa(c, kDarkStone);
    }
}

void harbour(Mesh& m, Mesh& props) {
  // Quay: a stone block from the sea bed up to its paving, with a kerb.
  const Frame f(V(0, 0, 0), 0);
  box(m, f, V(kQuayWest, -1.0, kQuayNorth), V(kQuayEast, quayTop(), kQuaySouth), kStone);
  box(m, f, V(kQuayEast - 0.07, quayTop(), kQuayNorth),
      V(kQuayEast + 0.01, quayTop() + 0.025, kJettyZ - 0.24), kDarkStone);
  box(m, f, V(kQuayEast - 0.07, quayTop(), kJettyZ + 0.24),
      V(kQuayEast + 0.01, quayTop() + 0.025, kQuaySouth), kDarkStone);
  // Bollards.
  for (double z : {-4.6, -3.4, -1.7, -0.7})
    lathe(props, Frame(V(kQuayEast - 0.12, quayTop(), z), 0),
          {{0.035, 0}, {0.035, 0.07}, {0.045, 0.08}, {0.045, 0.095}, {0, 0.1}}, 12, kDarkStone);
  // Steps down the quay wall to the water, south of the jetty.
  for (int k = 0; k < 8; ++k) {
    const double y = quayTop() - (k + 1) * 0.06;
    const double z0 = -1.75 + k * 0.1;
    box(m, f, V(kQuayEast - 0.01, -1.0, z0), V(kQuayEast + 0.3, y, z0 + 0.1), kStone);
  }
  // Jetty: planks across three beams, on posts.
  const double hw = 0.22;
  box(m, f, V(kQuayEast - 0.05, -0.08, kJettyZ - hw + 0.03),
      V(kJettyEnd, quayTop() - 0.03, kJettyZ - hw + 0.09), kBark);
  box(m, f, V(kQuayEast - 0.05, -0.08, kJettyZ + hw - 0.09),
      V(kJettyEnd, quayTop() - 0.03, kJettyZ + hw - 0.03), kBark);
  int plank = 0;
  box(m, f, V(kQuayEast - 0.05, -0.08, kJettyZ - 0.03),
      V(kJettyEnd, quayTop() - 0.03, kJettyZ + 0.03), kBark);
  for (double x = kQuayEast - 0.02; x + 0.07 <= kJettyEnd + 1e-9; x += 0.085, ++plank)
    box(m, f, V(x, quayTop() - 0.03, kJettyZ - hw - (plank % 3 == 0 ? 0.02 : 0)),
        V(x + 0.075, quayTop(), kJettyZ + hw + (plank % 3 == 1 ? 0.02 : 0)), kPlank);
  for (double x : {4.85, 5.45, kJettyEnd - 0.04})
    for (int side = -1; side <= 1; side += 2)
      cylinder(m, Frame(V(x, 0, kJettyZ + side * (hw + 0.03)), 0), 0.035, 0.032, -1.0,
               quayTop() + 0.1, 10, kBark);

  // A small sailing boat moored north of the jetty.
  {
    const V c(5.2, kWater, kJettyZ - 0.62);
    const int nu = 24, nv = 8;
    const double L = 0.72, B = 0.23;
    auto halfWidth = [&](double t) { return B * (1 - t * t) * (1.4 - 0.4 * t * t) / 1.4; };
    auto sheer = [&](double t) { return 0.13 + 0.06 * t * t; };
    auto keel = [&](double t) { return -0.14 + 0.1 * t * t; };
    const size_t fv = m.pos.size(), ff = m.faces.size();
    std::vector<std::vector<int>> grid(nu + 1, std::vector<int>(2 * nv + 1));
    for (int i = 0; i <= nu; ++i) {
      const double t = -1 + 2.0 * i / nu;
      for (int j = 0; j <= 2 * nv; ++j) {
        const double a = kPi * j / (2 * nv) - kPi / 2;  // -90 (port) .. 90 (starboard)
        double s, co;
        sinCos(a, s, co);
        const double y = keel(t) + (sheer(t) - keel(t)) * (1 - co);
        grid[i][j] = m.vertex(c + V(t * L, y, s * halfWidth(t)), V(0, 0, 0), V(t, 0, s));
      }
    }
    for (int i = 0; i < nu; ++i)
      for (int j = 0; j < 2 * nv; ++j) {
        const int a = grid[i][j], b = grid[i + 1][j], d = grid[i][j + 1], e = grid[i + 1][j + 1];
        const V mid = (m.pos[a] + m.pos[e]) / 2;
        const V out = V(0, mid.y - (c.y + 0.05), (mid.z - c.z) * 3);
        m.tri(a, b, e, kHull, out);
        m.tri(a, e, d, kHull, out);
      }
    m.smoothNormals(fv, ff);
    // Deck along the sheer line.
    for (int i = 0; i < nu; ++i) {
      const int a0 = grid[i][0], a1 = grid[i][2 * nv], b0 = grid[i + 1][0],
                b1 = grid[i + 1][2 * nv];
      m.quad(m.pos[a0], m.pos[b0], m.pos[b1], m.pos[a1], V(0, 1, 0), kPlank);
    }
    cylinder(props, Frame(c + V(0.12, 0.12, 0), 0), 0.014, 0.01, 0, 0.75, 8, kBark);
    // Furled sail along the boom.
    blob(props, c + V(-0.12, 0.3, 0), V(0.25, 0.035, 0.035), 6, 12, 0.15, 77, kCanvas);
  }
}

}  // namespace genworld
