// The process-wide table of extension entry points, each named after its GL
// function and null until fetched from the current context.
#pragma once

#include "gl/GlApi.h"

// Multitexture and vertex buffers, fetched by initMultitextureExtensions.
extern PFNGLMULTITEXCOORD1FARBPROC glMultiTexCoord1fARB;
extern PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB;
extern PFNGLMULTITEXCOORD3FARBPROC glMultiTexCoord3fARB;
extern PFNGLMULTITEXCOORD4FARBPROC glMultiTexCoord4fARB;
extern PFNGLACTIVETEXTUREARBPROC glActiveTextureARB;
extern PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB;
extern PFNGLGENBUFFERSARBPROC glGenBuffersARB;
extern PFNGLBINDBUFFERARBPROC glBindBufferARB;
extern PFNGLBUFFERDATAARBPROC glBufferDataARB;
extern PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB;
extern PFNGLMAPBUFFERARBPROC glMapBufferARB;
extern PFNGLUNMAPBUFFERARBPROC glUnmapBufferARB;

// Whether texture units can be selected. Drawing that needs more than unit 0
// is left out without it.
inline bool multitextureAvailable() { return glActiveTextureARB != nullptr; }

// Whether the current context's extension string names the extension, as a
// whole blank-separated word.
bool extensionSupported(const char* name);

// Looks an entry point up by its exact GL name and stores it, null or not.
template <typename Pointer>
Pointer fetchEntryPoint(Pointer& slot, const char* name);

// Fetches the multitexture and buffer entry points; false when multitexturing
// is missing (then nothing is fetched).
bool initMultitextureExtensions();

// Shows a message box with no owner, caption "Error", warning icon, OK.
void showErrorBox(const char* text);

// Where the extension string comes from: glGetString by default; tests
// script it.
using ExtensionStringSource = const char* (*)();
void setExtensionStringSource(ExtensionStringSource source);

#include "platform/GlLoader.h"

template <typename Pointer>
Pointer fetchEntryPoint(Pointer& slot, const char* name) {
  slot = reinterpret_cast<Pointer>(ws::glLoader().procAddress(name));
  return slot;
}
