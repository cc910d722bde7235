// Single-precision vectors and quaternions; rotation matrices are 16 floats
// in OpenGL column-major order (element 4 * column + row).
#pragma once

#include <cmath>

struct Vector3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  Vector3() = default;
  Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
  void set(float x_, float y_, float z_) {
    x = x_;
    y = y_;
    z = z_;
  }

  Vector3 operator+(const Vector3& b) const { return {x + b.x, y + b.y, z + b.z}; }
  Vector3 operator-(const Vector3& b) const { return {x - b.x, y - b.y, z - b.z}; }
  Vector3 operator-() const { return {-x, -y, -z}; }
  Vector3 operator*(float s) const { return {x * s, y * s, z * s}; }
  float length() const { return std::sqrt(x * x + y * y + z * z); }
  float dot(const Vector3& b) const { return x * b.x + y * b.y + z * b.z; }
  // The zero vector stays zero; callers that need a direction check for it.
  Vector3 normalized() const;
};

struct Quaternion {
  Vector3 v;  // vector part x, y, z
  float w = 1.0f;

  Quaternion() = default;
  Quaternion(float x, float y, float z, float w_) : v(x, y, z), w(w_) {}
  Quaternion(const Vector3& vector, float w_) : v(vector), w(w_) {}

  float x() const { return v.x; }
  float y() const { return v.y; }
  float z() const { return v.z; }

  Quaternion operator*(float s) const { return {v * s, w * s}; }
  Quaternion operator+(const Quaternion& r) const { return {v + r.v, w + r.w}; }
  Quaternion operator-() const { return {-v, -w}; }
  float norm() const { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z + w * w); }
  float dot(const Quaternion& r) const { return v.dot(r.v) + w * r.w; }
  Quaternion normalized() const;

  static Quaternion fromAxisAngle(float angle, const Vector3& axis);
  // A rotation without a vector part gives angle 0 about (0, 1, 0).
  void toAxisAngle(Vector3& axis, float& angle) const;
  // Writes elements 0 to 11; the caller presets the array to the identity.
  void toMatrix(float* m) const;
  Quaternion slerp(const Quaternion& to, float t) const;
};
