#include "render/FramePasses.h"

#include "base/Log.h"
#include "gl/GlApi.h"
#include "render/ColourPass.h"
#include "render/Composite.h"
#include "render/DemoRecord.h"
#include "render/Frame.h"
#include "render/NormalPass.h"
#include "render/ShadowPass.h"

namespace {

void logPendingError() {
  const GLenum error = glGetError();
  if (error == GL_NO_ERROR) return;
  const GLubyte* text = gluErrorString(error);
  Log::instance().write(text ? reinterpret_cast<const char*>(text) : "unknown GL error");
}

}  // namespace

void drawFrame(DemoRecord& demo, bool plain) {
  const Frame frame = frameOf(demo, plain);
  glPushAttrib(GL_VIEWPORT_BIT);
  // Without framebuffers the passes would only draw into the window, which
  // the composite clears again.
  if (demo.renderTargets.ready()) {
    shadowPass(demo, frame);
    glClearColor(0.0f, 1.0f, 1.0f, 1.0f);
    for (int eye = 0; eye < frame.eyeCount; ++eye)
      normalPass(demo, frame, frame.eye[eye], colourPass(demo, frame, frame.eye[eye]));
  } else {
    glClearColor(0.0f, 1.0f, 1.0f, 1.0f);
  }
  if (demo.shaderPrograms.ready()) demo.shaderPrograms.unuse();
  if (demo.renderTargets.ready()) demo.renderTargets.unbind();
  glPopAttrib();

  compositeIntoWindow(demo, frame);
  logPendingError();
  glFlush();
}
