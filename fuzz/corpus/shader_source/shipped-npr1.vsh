#version 110
// Full-screen quad of the composite. Texture matrix 0 still holds the
// shadow matrix here, so texture coordinate set 0 is passed on untransformed.
//
// The hatching directions are turned here, once per corner: the fragment
// shaders only scale the two rotated axes by the window's pixels per
// texture coordinate (hatch = hatchAxes.xy * pixels across + hatchAxes.zw *
// pixels up), which keeps the strokes straight at any aspect ratio.
// hatchOffset.x is the layer's rank in the four-layer styles (0 in the
// one-pass style, which never sets it); each rank has its own direction.
// crossAxes turn a second direction, for the cast-shadow strokes of the
// layered styles and the cross-hatching of the one-pass style.

uniform vec4 hatchOffset;

varying vec2 uv;
varying vec4 hatchAxes;
varying vec4 crossAxes;

vec4 axes(float angle)
{
    float c = cos(angle), s = sin(angle);
    vec2 t = gl_MultiTexCoord0.xy;
    return vec4(c * t.x, s * t.x, -s * t.y, c * t.y);
}

void main()
{
    uv = gl_MultiTexCoord0.xy;
    float angle = -0.7 + hatchOffset.x * 2.2;
    hatchAxes = axes(angle);
    crossAxes = axes(angle - 1.4);
    gl_Position = ftransform();
}
