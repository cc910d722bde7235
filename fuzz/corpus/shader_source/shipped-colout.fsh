#version 110
// Colour pass output: rgb = material colour * light * shadow darkening,
// alpha = how lit the point is (1 lit, 0 in cast shadow or turned away
// from the light). The darkening is mix(SHADOW_DARKENING, 1.0, alpha), so
// the composite can divide it out again and find edges without outlining
// the shadows.
//
// Software rasterizers run this for every covered fragment of every
// overdrawn surface, run both sides of every branch and divide for real:
// one division (the normal's length), no branches.

uniform sampler2D shadowMap;

varying vec3 worldNormal;
varying float lightDot;
varying vec3 shadowCoord;

const float SHADOW_DARKENING = 0.55;

void main()
{
    float unitScale = inversesqrt(dot(worldNormal, worldNormal));
    float facing = lightDot * unitScale;

    // One nearest texel: the shadow image is fine enough (about 1/120 of a
    // unit) that its steps vanish under the hatching, and they stay put in
    // the world when the camera moves; every further tap would be paid for
    // each fragment of every overdrawn surface. Outside the image the light
    // reaches.
    vec2 below = step(shadowCoord.xy, vec2(0.0));
    vec3 beyond = step(vec3(1.0), shadowCoord);
    float outside = max(max(below.x, below.y), max(beyond.z, max(beyond.x, beyond.y)));
    float reached = max(step(shadowCoord.z, texture2D(shadowMap, shadowCoord.xy).r), outside);
    // smoothstep(0.0, 0.2, facing)
    float turn = clamp(facing * 5.0, 0.0, 1.0);
    float lit = reached * turn * turn * (3.0 - 2.0 * turn);

    // 0.34 + 0.08 * normal.y + 0.62 * max(facing, 0.0) with the unit normal
    float light = 0.34 + unitScale * (0.08 * worldNormal.y + 0.62 * max(lightDot, 0.0));
    vec3 colour = gl_Color.rgb * min(light, 1.0) * mix(SHADOW_DARKENING, 1.0, lit);
    gl_FragColor = vec4(colour, lit);
}
