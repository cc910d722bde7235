// OpenGL 1.1 and GLU declarations plus the extension types and constants the
// renderer uses. Extension functions are reached only through the entry-point
// table (gl/Extensions.h), never through prototypes.
#pragma once

// Windows' GL headers need only these from <windows.h>; leaving the rest out
// spares every file its macros (near, far, min, max...).
#ifdef _WIN32
#ifndef APIENTRY
#define APIENTRY __stdcall
#endif
#ifndef WINGDIAPI
#define WINGDIAPI __declspec(dllimport)
#endif
#ifndef CALLBACK
#define CALLBACK __stdcall
#endif
#endif

// Some gl.h headers declare the multitexture functions as prototypes, which
// would clash with the table's pointers of the same names: claim the
// extension here and declare its types below.
#ifndef GL_ARB_multitexture
#define GL_ARB_multitexture 1
#endif
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glext.h>

#ifndef APIENTRY
#define APIENTRY
#endif
#ifndef APIENTRYP
#define APIENTRYP APIENTRY*
#endif

#ifndef GL_TEXTURE0_ARB
#define GL_TEXTURE0_ARB 0x84C0
#define GL_TEXTURE1_ARB 0x84C1
#define GL_TEXTURE2_ARB 0x84C2
#define GL_TEXTURE3_ARB 0x84C3
#define GL_ACTIVE_TEXTURE_ARB 0x84E0
#define GL_CLIENT_ACTIVE_TEXTURE_ARB 0x84E1
#define GL_MAX_TEXTURE_UNITS_ARB 0x84E2
#endif

typedef void(APIENTRYP PFNGLMULTITEXCOORD1FARBPROC)(GLenum target, GLfloat s);
typedef void(APIENTRYP PFNGLMULTITEXCOORD2FARBPROC)(GLenum target, GLfloat s, GLfloat t);
typedef void(APIENTRYP PFNGLMULTITEXCOORD3FARBPROC)(GLenum target, GLfloat s, GLfloat t, GLfloat r);
typedef void(APIENTRYP PFNGLMULTITEXCOORD4FARBPROC)(GLenum target, GLfloat s, GLfloat t, GLfloat r,
                                                    GLfloat q);
typedef void(APIENTRYP PFNGLACTIVETEXTUREARBPROC)(GLenum texture);
typedef void(APIENTRYP PFNGLCLIENTACTIVETEXTUREARBPROC)(GLenum texture);
