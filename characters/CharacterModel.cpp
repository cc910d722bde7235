#include "characters/CharacterModel.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <type_traits>

#include "base/Log.h"
#include "characters/AnimationState.h"
#include "characters/Character.h"
#include "gl/Extensions.h"
#include "platform/Dialogs.h"

namespace {

// The file's z-up units are this much larger than the scene's.
constexpr float fileScale = 0.005f;

// Formatted reading that remembers the first failure with where it happened.
class NumberReader {
 public:
  explicit NumberReader(std::istream& in) : in_(in) {}

  template <typename T>
  bool read(T& value, const std::string& where) {
    if (in_ >> value) {
      if constexpr (std::is_floating_point_v<T>) {
        if (std::isfinite(value)) return true;
      } else {
        return true;
      }
    }
    error = (in_.eof() ? "the file ends in " : "unreadable number in ") + where;
    return false;
  }

  std::string error;

 private:
  std::istream& in_;
};

std::string decimal(std::int64_t value) { return std::to_string(value); }

std::string countOutside(const char* what, std::int64_t value, std::int64_t low,
                         std::int64_t high) {
  return std::string(what) + " " + decimal(value) + " is outside " + decimal(low) + " to " +
         decimal(high);
}

// A z-up file rotation re-expressed about the scene's y-up axes.
Quaternion convertRotation(const Quaternion& fileRotation) {
  Vector3 axis;
  float angle = 0.0f;
  fileRotation.toAxisAngle(axis, angle);
  const float reduced = static_cast<float>(std::fmod(static_cast<double>(angle), 6.2831853));
  return Quaternion::fromAxisAngle(reduced, Vector3(axis.x, axis.z, -axis.y));
}

}  // namespace

// Playback steps through the model's clips, so it lives with the model.
void AnimationState::startClip(std::int32_t clipIndex) {
  clip = clipIndex;
  if (!model || clipIndex < 0 || clipIndex >= model->clipCount()) return;
  const AnimationClip& c = model->clip(clipIndex);
  frame = c.firstFrame;
  // A single-frame clip blends its frame with itself.
  nextFrame = c.firstFrame < c.lastFrame ? frame + 1 : frame;
}

void AnimationState::advance(float elapsedMs) {
  if (!model || clip < 0 || clip >= model->clipCount()) return;
  const AnimationClip& c = model->clip(clip);
  phase += c.rate * elapsedMs;
  if (phase < 1.0f) return;
  phase = 0.0f;
  if (c.lastFrame <= c.firstFrame) {
    // Nothing to step through: counting on would run past the key array.
    frame = c.firstFrame;
    nextFrame = c.firstFrame;
    return;
  }
  ++frame;
  ++nextFrame;
  if (frame > c.lastFrame - 1) {
    frame = c.firstFrame;
    nextFrame = c.firstFrame + 1;
  }
}

void drawCapsule(GLUquadric* quadric, float r, float length) {
  if (!quadric) return;
  // Each primitive's local transform is repeated on the texture matrix so the
  // shaders see the same placement as the modelview.
  glMatrixMode(GL_TEXTURE);
  glTranslatef(0.0f, r, 0.0f);
  glMatrixMode(GL_MODELVIEW);

  glColor3f(0.9f, 0.9f, 0.9f);
  glPushMatrix();
  glTranslatef(0.0f, r, 0.0f);
  gluSphere(quadric, r, 8, 8);
  glPopMatrix();

  glMatrixMode(GL_TEXTURE);
  glTranslatef(0.0f, -r, 0.0f);
  glTranslatef(0.0f, length - r, 0.0f);
  glMatrixMode(GL_MODELVIEW);

  glPushMatrix();
  glTranslatef(0.0f, length - r, 0.0f);
  gluSphere(quadric, r, 8, 8);
  glPopMatrix();

  glMatrixMode(GL_TEXTURE);
  glTranslatef(0.0f, r - length, 0.0f);
  glTranslatef(0.0f, r, 0.0f);
  glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
  glMatrixMode(GL_MODELVIEW);

  glColor3f(0.9f, 0.9f, 0.9f);
  glPushMatrix();
  glTranslatef(0.0f, r, 0.0f);
  glRotatef(270.0f, 1.0f, 0.0f, 0.0f);  // the cylinder's +z onto +y
  gluCylinder(quadric, r, r, length - 2.0f * r, 8, 1);
  glPopMatrix();

  glMatrixMode(GL_TEXTURE);
  glRotatef(-270.0f, 1.0f, 0.0f, 0.0f);
  glTranslatef(0.0f, -r, 0.0f);
  glMatrixMode(GL_MODELVIEW);
}

CharacterModel::~CharacterModel() { clear(); }

void CharacterModel::clear() {
  // Released with the model rather than left to the end of the context,
  // which may outlive many models.
  for (const Bone& bone : bones_) {
    if (bone.list != 0) glDeleteLists(bone.list, 1);
  }
  bones_.clear();
  keys_.clear();
  clips_.clear();
  frameCount_ = 0;
  reach_ = 0.0f;
}

bool CharacterModel::parse(std::istream& in, std::string& error) {
  clear();
  NumberReader reader(in);
  // Containers grow only with records actually read, so a count that the
  // file does not back up never sizes an allocation.
  std::vector<AnimationClip> clips;
  std::vector<Bone> bones;
  std::vector<BoneKey> keys;

  std::int64_t clipCount = 0;
  if (!reader.read(clipCount, "the clip count")) {
    error = reader.error;
    return false;
  }
  if (clipCount < 0) {
    error = "clip count " + decimal(clipCount) + " is negative";
    return false;
  }
  if (clipCount < 3) {
    error = decimal(clipCount) + " clips, at least 3 are needed";
    return false;
  }
  if (clipCount > maxClips) {
    error = countOutside("clip count", clipCount, 3, maxClips);
    return false;
  }
  std::vector<std::int64_t> firsts, lasts;
  for (std::int64_t c = 0; c < clipCount; ++c) {
    const std::string where =
        "the clip records (clip " + decimal(c + 1) + " of " + decimal(clipCount) + ")";
    std::int64_t first = 0, last = 0;
    AnimationClip clip;
    if (!reader.read(first, where) || !reader.read(last, where) || !reader.read(clip.rate, where)) {
      error = reader.error;
      return false;
    }
    firsts.push_back(first);
    lasts.push_back(last);
    clips.push_back(clip);
  }

  std::int64_t boneCount = 0;
  if (!reader.read(boneCount, "the bone count")) {
    error = reader.error;
    return false;
  }
  if (boneCount < 1 || boneCount > maxBones) {
    error = countOutside("bone count", boneCount, 1, maxBones);
    return false;
  }
  for (std::int64_t b = 0; b < boneCount; ++b) {
    const std::string where =
        "the bone records (bone " + decimal(b + 1) + " of " + decimal(boneCount) + ")";
    Bone bone;
    if (!reader.read(bone.radius, where) || !reader.read(bone.length, where)) {
      error = reader.error;
      return false;
    }
    bone.radius *= fileScale;
    bone.length *= fileScale;
    bones.push_back(bone);
  }

  std::int64_t lastFrame = 0;
  if (!reader.read(lastFrame, "the last frame index")) {
    error = reader.error;
    return false;
  }
  if (lastFrame < 0 || lastFrame > maxLastFrame) {
    error = countOutside("last frame index", lastFrame, 0, maxLastFrame);
    return false;
  }
  // Checked before the keys so that a bad clip is reported as such, not as
  // a short file.
  for (std::int64_t c = 0; c < clipCount; ++c) {
    const std::string name = "clip " + decimal(c + 1);
    if (firsts[c] < 0) {
      error = name + " starts at frame " + decimal(firsts[c]) + ", before frame 0";
      return false;
    }
    if (lasts[c] > lastFrame) {
      error = name + " ends at frame " + decimal(lasts[c]) + ", beyond the last frame " +
              decimal(lastFrame);
      return false;
    }
    if (lasts[c] < firsts[c]) {
      error = name + " ends at frame " + decimal(lasts[c]) + ", before its first frame " +
              decimal(firsts[c]);
      return false;
    }
    clips[c].firstFrame = static_cast<std::uint32_t>(firsts[c]);
    clips[c].lastFrame = static_cast<std::uint32_t>(lasts[c]);
  }

  for (std::int64_t f = 0; f <= lastFrame; ++f) {
    for (std::int64_t b = 0; b < boneCount; ++b) {
      const std::string where =
          "the key records (frame " + decimal(f) + ", bone " + decimal(b + 1) + ")";
      float p[3];
      float q[4];
      bool ok = true;
      for (float& value : p) ok = ok && reader.read(value, where);
      for (float& value : q) ok = ok && reader.read(value, where);
      if (!ok) {
        error = reader.error;
        return false;
      }
      BoneKey key;
      key.position = Vector3(fileScale * p[0], fileScale * p[2], -fileScale * p[1]);
      key.rotation = convertRotation(Quaternion(q[0], q[1], q[2], q[3]));
      keys.push_back(key);
    }
  }

  // An interpolated position is no farther out than its two keys, and a
  // capsule reaches no farther than its length from where it starts.
  float farthestKey = 0.0f, longestBone = 0.0f;
  for (const BoneKey& key : keys) farthestKey = std::max(farthestKey, key.position.length());
  for (const Bone& bone : bones) longestBone = std::max(longestBone, bone.length + bone.radius);
  reach_ = farthestKey + longestBone;
  clips_ = std::move(clips);
  bones_ = std::move(bones);
  keys_ = std::move(keys);
  frameCount_ = static_cast<std::int32_t>(lastFrame + 1);
  return true;
}

bool CharacterModel::load(const char* path, GLUquadric* quadric) {
  clear();
  std::ifstream in(path);
  if (!in) {
    Log::instance().write("Model Loading Error: Can't find File!");
    return false;
  }
  std::string error;
  if (!parse(in, error)) {
    Log::instance().write("Model Loading Error: " + error + "!");
    return false;
  }
  // The quadric refuses a negative radius, so such a capsule draws nothing.
  std::string undrawable;
  for (std::size_t b = 0; b < bones_.size(); ++b)
    if (bones_[b].radius < 0.0f)
      undrawable += (undrawable.empty() ? "" : ", ") + decimal(static_cast<std::int64_t>(b) + 1);
  if (!undrawable.empty())
    Log::instance().write("Bones that cannot be drawn (negative radius): " + undrawable);
  for (Bone& bone : bones_) {
    bone.list = glGenLists(1);
    glNewList(bone.list, GL_COMPILE);
    drawCapsule(quadric, bone.radius, bone.length);
    glEndList();
  }
  return true;
}

bool CharacterModel::poseBounds(const AnimationState& state, float (&low)[3],
                                float (&high)[3]) const {
  const auto frames = static_cast<std::uint32_t>(frameCount_);
  if (!state.owner || bones_.empty() || state.frame >= frames || state.nextFrame >= frames)
    return false;
  const Vector3& at = state.owner->position;
  float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  state.owner->orientation.toMatrix(m);
  const float atAxis[3] = {at.x, at.y, at.z};
  for (int axis = 0; axis < 3; ++axis) {
    low[axis] = std::numeric_limits<float>::max();
    high[axis] = std::numeric_limits<float>::lowest();
  }
  const float t = state.phase;
  for (std::int32_t b = 0; b < boneCount(); ++b) {
    const Vector3 p =
        key(state.frame, b).position * (1.0f - t) + key(state.nextFrame, b).position * t;
    // The capsule's two spheres sit r and length - r up the bone; a little
    // more covers the driver's own rounding.
    const Bone& bone = bones_[b];
    const float extent =
        std::max(bone.radius, std::fabs(bone.length - bone.radius)) + bone.radius + 1e-3f;
    for (int axis = 0; axis < 3; ++axis) {
      const float centre = atAxis[axis] + m[axis] * p.x + m[axis + 4] * p.y + m[axis + 8] * p.z;
      low[axis] = std::min(low[axis], centre - extent);
      high[axis] = std::max(high[axis], centre + extent);
    }
  }
  return true;
}

void CharacterModel::draw(const AnimationState* state) const {
  if (!state) {
    ws::dialogs().messageBox(nullptr, "not info", "error", ws::MbOk);
    return;
  }
  if (!state->owner) {
    ws::dialogs().messageBox(nullptr, "not info parent", "error", ws::MbOk);
    return;
  }
  const std::uint32_t frames = static_cast<std::uint32_t>(frameCount_);
  if (!multitextureAvailable() || state->frame >= frames || state->nextFrame >= frames) return;

  const Character& owner = *state->owner;
  const Vector3& at = owner.position;
  const float t = state->phase;
  const std::int32_t boneTotal = boneCount();
  for (std::int32_t b = 0; b < boneTotal; ++b) {
    const BoneKey& cur = key(state->frame, b);
    const BoneKey& nxt = key(state->nextFrame, b);

    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    owner.orientation.toMatrix(m);
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(at.x, at.y, at.z);
    glMultMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(at.x, at.y, at.z);
    glMultMatrixf(m);

    cur.rotation.slerp(nxt.rotation, t).normalized().toMatrix(m);
    const Vector3 p = cur.position * (1.0f - t) + nxt.position * t;
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glMatrixMode(GL_TEXTURE);
    glTranslatef(p.x, p.y, p.z);
    glMultMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(p.x, p.y, p.z);
    glMultMatrixf(m);
    glCallList(bones_[b].list);
    glPopMatrix();
    glPopMatrix();

    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
  }
}
