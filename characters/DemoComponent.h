// What the demo drives a component through: set up, advance, draw, release.
#pragma once

class DemoComponent {
 public:
  virtual ~DemoComponent() = default;
  virtual void initialize() = 0;
  virtual void draw() = 0;
  virtual void update(float elapsedMs) = 0;
  virtual void release() = 0;
};
