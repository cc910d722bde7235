#include "gl/Extensions.h"

#include <cstring>

#include "platform/Dialogs.h"

PFNGLMULTITEXCOORD1FARBPROC glMultiTexCoord1fARB = nullptr;
PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB = nullptr;
PFNGLMULTITEXCOORD3FARBPROC glMultiTexCoord3fARB = nullptr;
PFNGLMULTITEXCOORD4FARBPROC glMultiTexCoord4fARB = nullptr;
PFNGLACTIVETEXTUREARBPROC glActiveTextureARB = nullptr;
PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB = nullptr;
PFNGLGENBUFFERSARBPROC glGenBuffersARB = nullptr;
PFNGLBINDBUFFERARBPROC glBindBufferARB = nullptr;
PFNGLBUFFERDATAARBPROC glBufferDataARB = nullptr;
PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB = nullptr;
PFNGLMAPBUFFERARBPROC glMapBufferARB = nullptr;
PFNGLUNMAPBUFFERARBPROC glUnmapBufferARB = nullptr;

namespace {

const char* glExtensionString() {
  return reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
}

ExtensionStringSource extensionString = glExtensionString;

}  // namespace

void setExtensionStringSource(ExtensionStringSource source) {
  extensionString = source ? source : glExtensionString;
}

bool extensionSupported(const char* name) {
  const char* list = extensionString();
  if (!list || !name || !*name) return false;
  const std::size_t length = std::strlen(name);
  for (const char* at = list; (at = std::strstr(at, name)) != nullptr; at += length) {
    const bool startsWord = at == list || at[-1] == ' ';
    const bool endsWord = at[length] == ' ' || at[length] == '\0';
    if (startsWord && endsWord) return true;
  }
  return false;
}

void showErrorBox(const char* text) {
  ws::dialogs().messageBox(nullptr, text, "Error", ws::MbOk | ws::MbIconWarning);
}

bool initMultitextureExtensions() {
  if (!extensionSupported("GL_ARB_multitexture")) {
    // Pointers of an earlier context must not outlive it.
    glMultiTexCoord1fARB = nullptr;
    glMultiTexCoord2fARB = nullptr;
    glMultiTexCoord3fARB = nullptr;
    glMultiTexCoord4fARB = nullptr;
    glActiveTextureARB = nullptr;
    glClientActiveTextureARB = nullptr;
    glGenBuffersARB = nullptr;
    glBindBufferARB = nullptr;
    glBufferDataARB = nullptr;
    glDeleteBuffersARB = nullptr;
    glMapBufferARB = nullptr;
    glUnmapBufferARB = nullptr;
    showErrorBox("Multitexturing not supported!");
    return false;
  }
  fetchEntryPoint(glMultiTexCoord1fARB, "glMultiTexCoord1fARB");
  fetchEntryPoint(glMultiTexCoord2fARB, "glMultiTexCoord2fARB");
  fetchEntryPoint(glMultiTexCoord3fARB, "glMultiTexCoord3fARB");
  fetchEntryPoint(glMultiTexCoord4fARB, "glMultiTexCoord4fARB");
  fetchEntryPoint(glActiveTextureARB, "glActiveTextureARB");
  fetchEntryPoint(glClientActiveTextureARB, "glClientActiveTextureARB");
  fetchEntryPoint(glGenBuffersARB, "glGenBuffersARB");
  fetchEntryPoint(glBindBufferARB, "glBindBufferARB");
  fetchEntryPoint(glBufferDataARB, "glBufferDataARB");
  fetchEntryPoint(glDeleteBuffersARB, "glDeleteBuffersARB");
  fetchEntryPoint(glMapBufferARB, "glMapBufferARB");
  fetchEntryPoint(glUnmapBufferARB, "glUnmapBufferARB");
  if (!glGenBuffersARB || !glBindBufferARB || !glBufferDataARB) {
    showErrorBox("VBOs not supported!");
  }
  return true;
}
