// What every generator needs to write the same bytes on every machine: its
// own random numbers, trigonometry built from +, -, *, / and sqrt (correctly
// rounded everywhere, unlike libm's sin, cos and atan), and number text that
// rounds on integers rather than through a printf.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace gen {

constexpr double kPi = 3.14159265358979323846;

// splitmix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1) with 53 bits.
  double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
  double range(double low, double high) { return low + (high - low) * uniform(); }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

// Sine and cosine by reduction to a quarter turn and a Taylor series.
inline void sinCos(double a, double& s, double& c) {
  const double q = std::floor(a / (kPi / 2) + 0.5);
  // Two-part pi/2 keeps the reduction exact for the angles used here.
  const double r = (a - q * 1.5707963267341256) - q * 6.077100506506192e-11;
  const double r2 = r * r;
  double sr = 1.0, cr = 1.0, termS = 1.0, termC = 1.0;
  for (int k = 1; k <= 10; ++k) {
    termS *= -r2 / ((2 * k) * (2 * k + 1));
    termC *= -r2 / ((2 * k - 1) * (2 * k));
    sr += termS;
    cr += termC;
  }
  sr *= r;
  long long quadrant = static_cast<long long>(q) % 4;
  if (quadrant < 0) quadrant += 4;
  switch (quadrant) {
    case 0:
      s = sr;
      c = cr;
      break;
    case 1:
      s = cr;
      c = -sr;
      break;
    case 2:
      s = -sr;
      c = -cr;
      break;
    default:
      s = -cr;
      c = sr;
      break;
  }
}
inline double sine(double a) {
  double s = 0, c = 0;
  sinCos(a, s, c);
  return s;
}
inline double cosine(double a) {
  double s = 0, c = 0;
  sinCos(a, s, c);
  return c;
}
inline double rad(double degrees) { return degrees * kPi / 180.0; }

// Arctangent by two argument halvings and a short series.
inline double datan(double x) {
  const bool negative = x < 0;
  if (negative) x = -x;
  const bool inverted = x > 1;
  if (inverted) x = 1 / x;
  for (int i = 0; i < 2; ++i) x = x / (1 + std::sqrt(1 + x * x));
  double sum = 0, term = x;
  for (int k = 0; k < 14; ++k) {
    sum += term / (2 * k + 1);
    term *= -x * x;
  }
  double a = 4 * sum;
  if (inverted) a = kPi / 2 - a;
  return negative ? -a : a;
}
inline double datan2(double y, double x) {
  if (x == 0 && y == 0) return 0;
  if (x == 0) return y > 0 ? kPi / 2 : -kPi / 2;
  const double a = datan(y / x);
  if (x > 0) return a;
  return y >= 0 ? a + kPi : a - kPi;
}
inline double dacos(double x) { return datan2(std::sqrt((1 - x) * (1 + x)), x); }

inline double clamp01(double t) { return t < 0 ? 0 : (t > 1 ? 1 : t); }
inline double lerp(double a, double b, double t) { return a + (b - a) * t; }
// 0 below e0, 1 above e1, a smooth S between.
inline double smooth(double e0, double e1, double x) {
  const double t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// Fixed-point text of a value rounded to `decimals` places; trailing zeros
// are dropped unless `keepZeros`. Never "-0".
inline std::string fixed(double value, int decimals, bool keepZeros = false) {
  long long scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const long long q = std::llround(value * static_cast<double>(scale));
  const unsigned long long m = static_cast<unsigned long long>(q < 0 ? -q : q);
  std::string text =
      (q < 0 ? "-" : "") + std::to_string(m / static_cast<unsigned long long>(scale));
  if (decimals == 0) return text;
  std::string digits = std::to_string(m % static_cast<unsigned long long>(scale));
  digits.insert(0, decimals - digits.size(), '0');
  if (!keepZeros) {
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
  }
  return digits.empty() ? text : text + "." + digits;
}

}  // namespace gen
