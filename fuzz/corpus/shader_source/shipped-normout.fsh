#version 110
// Normal image: rg = view-space normal x and y (z follows, it faces the
// camera), b and a = distance / DEPTH_RANGE as a high and a low byte, read
// back as b + a / 255 (at texel centres: filtering the two bytes apart
// would break their sum). The clear colour (b = a = 1) reads as farther
// than any surface.

varying vec3 viewNormal;
varying float viewDepth;

const float DEPTH_RANGE = 100.0;

void main()
{
    vec3 n = normalize(viewNormal);
    float d = clamp(viewDepth / DEPTH_RANGE, 0.0, 0.996) * 255.0;
    float high = floor(d);
    gl_FragColor = vec4(n.xy * 0.5 + 0.5, high / 255.0, d - high);
}
