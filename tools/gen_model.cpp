// Writes the capsule character model, Models/capsuleman.txt: sixteen capsule
// bones and three looping gait clips (a slow walk, a run and a stroll).
//
//   gen_model [output path]      (standard output without a path)
//
// The poses are worked out in scene space (y up, the character facing +z,
// about 0.3 units tall) by forward kinematics, with two-bone inverse
// kinematics putting the feet where the gait wants them, and written as
// every bone's whole transform relative to the character in the file's
// z-up units. Its trigonometry and number text are the generators' own
// (tools/common/Deterministic.h), so the file is the same on every machine.
// A stance foot moves backwards at exactly the walking speed, so
// it stays put on the ground while the character walks at its clip's speed.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "tools/common/Deterministic.h"

namespace {

using gen::kPi;
constexpr double pi = kPi;
constexpr double fileUnitsPerSceneUnit = 200.0;  // the loader scales by 0.005

struct Vec {
  double x = 0, y = 0, z = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }

// Row-major 3x3 rotation; its columns are the bone's local axes.
struct Rot {
  double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};
Rot operator*(const Rot& a, const Rot& b) {
  Rot r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
  return r;
}
Vec operator*(const Rot& a, Vec v) {
  return {a.m[0][0] * v.x + a.m[0][1] * v.y + a.m[0][2] * v.z,
          a.m[1][0] * v.x + a.m[1][1] * v.y + a.m[1][2] * v.z,
          a.m[2][0] * v.x + a.m[2][1] * v.y + a.m[2][2] * v.z};
}
Rot rotX(double a) {
  Rot r;
  r.m[1][1] = gen::cosine(a);
  r.m[1][2] = -gen::sine(a);
  r.m[2][1] = gen::sine(a);
  r.m[2][2] = gen::cosine(a);
  return r;
}
Rot rotZ(double a) {
  Rot r;
  r.m[0][0] = gen::cosine(a);
  r.m[0][1] = -gen::sine(a);
  r.m[1][0] = gen::sine(a);
  r.m[1][1] = gen::cosine(a);
  return r;
}
// A limb swung `forward` radians from hanging straight down (towards +z) and
// tilted `outward` radians towards +x.
Rot limb(double forward, double outward) { return rotZ(outward) * rotX(pi - forward); }
const Vec up{0, 1, 0};

struct Quat {
  double x, y, z, w;
};
Quat toQuat(const Rot& r) {
  const double(&m)[3][3] = r.m;
  Quat q{};
  const double trace = m[0][0] + m[1][1] + m[2][2];
  if (trace > 0) {
    const double s = 2.0 * std::sqrt(1.0 + trace);
    q = {(m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s, 0.25 * s};
  } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
    const double s = 2.0 * std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]);
    q = {0.25 * s, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s, (m[2][1] - m[1][2]) / s};
  } else if (m[1][1] > m[2][2]) {
    const double s = 2.0 * std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]);
    q = {(m[0][1] + m[1][0]) / s, 0.25 * s, (m[1][2] + m[2][1]) / s, (m[0][2] - m[2][0]) / s};
  } else {
    const double s = 2.0 * std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]);
    q = {(m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, 0.25 * s, (m[1][0] - m[0][1]) / s};
  }
  // The loader reads the angle as 2 acos(w): keep it in [0, pi].
  if (q.w < 0) q = {-q.x, -q.y, -q.z, -q.w};
  return q;
}

// Capsule sizes, scene units. A capsule's end spheres are centred on the
// joints it spans, so neighbouring bones overlap smoothly.
struct BoneShape {
  const char* name;
  double radius;
  double segment;  // joint to joint
};
const BoneShape shapes[] = {{"pelvis", 0.026, 0.026},
                            {"torso", 0.030, 0.062},
                            {"neck", 0.009, 0.016},
                            {"head", 0.021, 0.012},
                            {"left upper arm", 0.0095, 0.052},
                            {"left lower arm", 0.008, 0.048},
                            {"left hand", 0.0085, 0.012},
                            {"right upper arm", 0.0095, 0.052},
                            {"right lower arm", 0.008, 0.048},
                            {"right hand", 0.0085, 0.012},
                            {"left upper leg", 0.0135, 0.077},
                            {"left lower leg", 0.011, 0.075},
                            {"left foot", 0.0075, 0.030},
                            {"right upper leg", 0.0135, 0.077},
                            {"right lower leg", 0.011, 0.075},
                            {"right foot", 0.0075, 0.030}};
constexpr int boneCount = sizeof(shapes) / sizeof(shapes[0]);
enum {
  Pelvis,
  Torso,
  Neck,
  Head,
  LeftUpperArm,
  RightUpperArm = 7,
  LeftUpperLeg = 10,
  RightUpperLeg = 13
};

constexpr double hipSpread = 0.022;     // hip joints beside the pelvis centre
constexpr double hipDrop = 0.006;       // hip joints below it
constexpr double ankleHeight = 0.0115;  // over flat ground
constexpr double shoulderSpread = 0.042;
const Vec heelFromAnkle{0, -0.004, -0.007};  // heel sphere centre, flat foot

struct Gait {
  double speed;      // scene units per millisecond
  double cycleMs;    // one full stride, both feet
  int steps;         // key-frame steps per cycle
  double stance;     // share of the cycle a foot is on the ground
  double hipHeight;  // hip joints, on average
  double bob;        // hip rise at mid-stance (negative: dips, as in a run)
  double lean;       // torso forward
  double lift;       // swing foot height
  double toe;        // swing foot pitch
  double armSwing;
  double armForward;
  double elbow;
  double elbowSwing;
  double armOut;
};

// Speeds are the ones the characters walk at for clips 0, 1 and 2.
const Gait gaits[] = {
    // slow walk: 0.16 units a stride
    {0.0001, 1600.0, 20, 0.6, 0.153, 0.006, 0.03, 0.018, 0.35, 0.25, 0.02, 0.20, 0.10, 0.08},
    // run: 0.35 units a stride, a short stance and a flight phase
    {0.0005, 700.0, 16, 0.375, 0.142, -0.006, 0.18, 0.05, 0.5, 0.55, 0.15, 1.40, 0.20, 0.10},
    // stroll: 0.1875 units a stride
    {0.000125, 1500.0, 20, 0.6, 0.151, 0.005, 0.05, 0.02, 0.4, 0.32, 0.03, 0.25, 0.12, 0.08},
};

struct Key {
  Vec position;
  Rot rotation;
};

// The bone's key for a capsule from joint `from` along the rotation's +y.
Key capsule(int bone, Vec from, const Rot& rotation) {
  return {from - (rotation * up) * shapes[bone].radius, rotation};
}

int clampedReaches = 0;

// Forward swing angles (from straight down) of thigh and shin that put the
// ankle at `ankle` from `hip`, the knee bending forwards.
void solveLeg(Vec hip, Vec ankle, double& thigh, double& shin) {
  const double l1 = shapes[LeftUpperLeg].segment;
  const double l2 = shapes[LeftUpperLeg + 1].segment;
  const double dy = ankle.y - hip.y;
  const double dz = ankle.z - hip.z;
  double reach = std::sqrt(dy * dy + dz * dz);
  if (reach > 0.999 * (l1 + l2)) {
    ++clampedReaches;
    reach = 0.999 * (l1 + l2);
  }
  const double towardsAnkle = gen::datan2(dz, -dy);
  const double atHip = gen::dacos((l1 * l1 + reach * reach - l2 * l2) / (2 * l1 * reach));
  thigh = towardsAnkle + atHip;
  const Vec knee{hip.x, hip.y - l1 * gen::cosine(thigh), hip.z + l1 * gen::sine(thigh)};
  shin = gen::datan2(ankle.z - knee.z, -(ankle.y - knee.y));
}

struct FootPlace {
  Vec ankle;
  double pitch;  // toe down
};

// Where a foot is at its own cycle phase u (0: heel strike).
FootPlace footAt(const Gait& g, double u, double side) {
  const double strideOnGround = g.stance * g.speed * g.cycleMs;
  FootPlace f;
  f.ankle.x = side * hipSpread;
  if (u < g.stance) {
    // Planted: slides back under the body exactly as fast as the body moves on.
    f.ankle.y = ankleHeight;
    f.ankle.z = strideOnGround / 2 - strideOnGround * (u / g.stance);
    f.pitch = 0;
  } else {
    const double s = (u - g.stance) / (1 - g.stance);
    f.ankle.y = ankleHeight + g.lift * gen::sine(pi * s);
    f.ankle.z = -strideOnGround / 2 + strideOnGround * (1 - gen::cosine(pi * s)) / 2;
    f.pitch = g.toe * gen::sine(2 * pi * s) * (1 - 0.5 * s);
  }
  return f;
}

void addLeg(std::vector<Key>& keys, const Gait& g, double u, double side, Vec hip, int firstBone) {
  const FootPlace foot = footAt(g, u, side);
  double thigh = 0, shin = 0;
  solveLeg(hip, foot.ankle, thigh, shin);
  const Rot thighRot = limb(thigh, 0);
  const Vec knee = hip + (thighRot * up) * shapes[firstBone].segment;
  keys[firstBone] = capsule(firstBone, hip, thighRot);
  keys[firstBone + 1] = capsule(firstBone + 1, knee, limb(shin, 0));
  const Rot footRot = rotX(pi / 2 + foot.pitch);
  const Vec heel = foot.ankle + rotX(foot.pitch) * heelFromAnkle;
  keys[firstBone + 2] = capsule(firstBone + 2, heel, footRot);
}

void addArm(std::vector<Key>& keys, const Gait& g, double u, double side, Vec shoulder,
            int firstBone) {
  // Against the leg of the same side: that foot is furthest forward at u = 0.
  const double swing = gen::cosine(2 * pi * u);
  const double upper = g.armForward - g.armSwing * swing;
  const double lower = upper + g.elbow - g.elbowSwing * swing;
  const double out = side * g.armOut;
  const Rot upperRot = limb(upper, out);
  const Rot lowerRot = limb(lower, out);
  const Vec elbow = shoulder + (upperRot * up) * shapes[firstBone].segment;
  const Vec wrist = elbow + (lowerRot * up) * shapes[firstBone + 1].segment;
  keys[firstBone] = capsule(firstBone, shoulder, upperRot);
  keys[firstBone + 1] = capsule(firstBone + 1, elbow, lowerRot);
  keys[firstBone + 2] = capsule(firstBone + 2, wrist, limb(lower + 0.1, out));
}

// The pose at phase u of the cycle (u of the left foot; the right foot is
// half a cycle on).
std::vector<Key> pose(const Gait& g, double u) {
  std::vector<Key> keys(boneCount);
  const double hipY = g.hipHeight + g.bob * gen::cosine(4 * pi * (u - g.stance / 2));
  const Vec centre{0, hipY + hipDrop, 0};

  const Rot pelvisRot = rotX(0.3 * g.lean);
  keys[Pelvis] = capsule(Pelvis, centre + pelvisRot * Vec{0, -0.008, 0}, pelvisRot);
  const Rot torsoRot = rotX(g.lean);
  const Vec waist = centre + Vec{0, 0.020, 0};
  keys[Torso] = capsule(Torso, waist, torsoRot);
  const Vec neckBase = waist + (torsoRot * up) * shapes[Torso].segment;
  const Rot neckRot = rotX(0.5 * g.lean);
  keys[Neck] = capsule(Neck, neckBase, neckRot);
  const Vec neckTop = neckBase + (neckRot * up) * shapes[Neck].segment;
  const Rot headRot = rotX(0.3 * g.lean);
  keys[Head] = capsule(Head, neckTop + (headRot * up) * 0.015, headRot);

  for (double side : {1.0, -1.0}) {
    const double phase = side > 0 ? u : std::fmod(u + 0.5, 1.0);
    const Vec shoulder = neckBase + torsoRot * Vec{side * shoulderSpread, -0.010, 0};
    addArm(keys, g, phase, side, shoulder, side > 0 ? LeftUpperArm : RightUpperArm);
    const Vec hip{side * hipSpread, hipY, 0};
    addLeg(keys, g, phase, side, hip, side > 0 ? LeftUpperLeg : RightUpperLeg);
  }
  return keys;
}

void writeNumber(std::FILE* out, double value, int decimals) {
  std::fputs(gen::fixed(value, decimals, true).c_str(), out);
}

}  // namespace

int main(int argc, char** argv) {
  // Binary: the same bytes, "\n" line ends included, on every platform.
  std::FILE* out = argc > 1 ? std::fopen(argv[1], "wb") : stdout;
  if (!out) {
    std::fprintf(stderr, "gen_model: cannot write %s\n", argv[1]);
    return 1;
  }

  // Each clip's last frame repeats its first pose: the blend from the last
  // frame back to the first is never drawn.
  std::vector<std::vector<Key>> frames;
  std::fprintf(out, "%d\n", static_cast<int>(sizeof(gaits) / sizeof(gaits[0])));
  for (const Gait& g : gaits) {
    const int first = static_cast<int>(frames.size());
    for (int step = 0; step <= g.steps; ++step)
      frames.push_back(pose(g, static_cast<double>(step % g.steps) / g.steps));
    std::fprintf(out, "%d %d ", first, first + g.steps);
    writeNumber(out, g.steps / g.cycleMs, 8);
    std::fputc('\n', out);
  }

  std::fprintf(out, "%d\n", boneCount);
  for (const BoneShape& shape : shapes) {
    writeNumber(out, shape.radius * fileUnitsPerSceneUnit, 4);
    std::fputc(' ', out);
    writeNumber(out, (shape.segment + 2 * shape.radius) * fileUnitsPerSceneUnit, 4);
    std::fputc('\n', out);
  }

  std::fprintf(out, "%d\n", static_cast<int>(frames.size()) - 1);
  for (const std::vector<Key>& frame : frames) {
    for (const Key& key : frame) {
      // Scene (x, y, z) is the file's (x, -z, y); a scene rotation (x, y, z, w)
      // is the file's (x, -z, y, w).
      const Vec p = key.position * fileUnitsPerSceneUnit;
      const Quat q = toQuat(key.rotation);
      const double values[7] = {p.x, -p.z, p.y, q.x, -q.z, q.y, q.w};
      for (int i = 0; i < 7; ++i) {
        writeNumber(out, values[i], i < 3 ? 4 : 7);
        std::fputc(i < 6 ? ' ' : '\n', out);
      }
    }
  }
  if (out != stdout) std::fclose(out);
  if (clampedReaches > 0) {
    std::fprintf(stderr, "gen_model: %d poses asked a leg for more than its length\n",
                 clampedReaches);
    return 1;
  }
  return 0;
}
