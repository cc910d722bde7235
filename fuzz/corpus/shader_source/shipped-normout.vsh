#version 110
// Normal pass: view-space normal and distance for the edge detection of
// the composite. The modelview holds the camera (and, for characters, the
// bone's placement), so the normal matrix gives view-space normals.

varying vec3 viewNormal;
varying float viewDepth;

void main()
{
    viewNormal = gl_NormalMatrix * gl_Normal;
    viewDepth = -(gl_ModelViewMatrix * gl_Vertex).z;
    gl_Position = ftransform();
}
