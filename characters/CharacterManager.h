// Owns the model, the waypoint network and the twenty characters; the demo
// initializes, updates, draws and releases it.
#pragma once

#include "characters/DemoComponent.h"

class CharacterManager : public DemoComponent {
 public:
  CharacterManager();
  ~CharacterManager() override;
  void initialize() override;
  void draw() override;
  void update(float elapsedMs) override;
  void release() override;
};
