#version 110
// Colour pass: material colour, light and cast shadow. Texture matrix 1
// carries character geometry into the world (identity for the rest),
// texture matrix 0 carries world points into the shadow image.

varying vec3 worldNormal;
varying vec4 shadowCoord;
varying vec3 shadowNormal;

void main()
{
    vec4 world = gl_TextureMatrix[1] * gl_Vertex;
    vec3 normal = (gl_TextureMatrix[1] * vec4(gl_Normal, 0.0)).xyz;
    worldNormal = normal;
    shadowCoord = gl_TextureMatrix[0] * world;
    // The shadow matrix is affine (orthographic light), so an offset along
    // the normal can be added after the transform, per fragment.
    shadowNormal = (gl_TextureMatrix[0] * vec4(normalize(normal), 0.0)).xyz;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
