#include "render/Drawing.h"

#include "characters/CharacterManager.h"
#include "gl/Extensions.h"
#include "gl/ShaderPrograms.h"
#include "render/DemoRecord.h"
#include "world/Scene.h"

void clearTarget() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

void useProgram(ShaderProgramSet& programs, int slot) {
  if (programs.ready()) programs.use(slot);
}

// The scene's drawing selects texture units and binds buffers through the
// multitexture table; without those entry points it is left out.
void drawScene(DemoRecord& demo, bool plain, const ViewVolume& view,
               const std::vector<AxisBox>* meeting) {
  if (!multitextureAvailable()) return;
  Scene& scene = demo.worldScene;
  if (scene.meshCount > 0 && (!glBindBufferARB || !glClientActiveTextureARB)) return;
  if (plain)
    scene.draw();
  else
    scene.draw(&view, meeting);
}

void drawCharacters(DemoRecord& demo, bool plain, const std::vector<std::int32_t>& shown) {
  if (!demo.characters) return;
  if (plain)
    demo.characters->draw();
  else
    demo.characters->drawOnly(shown);
}
