#version 110
// Water in the normal image. Its distance is written like the normal pass
// writes it (b and a); its r and g carry codes instead of a normal, with x,
// y values no unit normal can have (longer than 1), which the composite
// reads back:
// - WATER_CENTRE + WATER_RADIUS * sway, |sway| <= 1: open water; sway is
//   how far the hatching drawn on it is pushed aside, by the slope of the
//   ripples (as a refracted picture would be) and by a slow circling drift
//   (turned in the vertex shader), so the water's strokes waver and move.
//   Neighbouring codes stay close, so no outline appears inside open water.
// - CREST: where the crests of the two drifting ripple layers meet. Small
//   islands with a border about a pixel soft, which the composite outlines
//   and leaves bare: white caps that drift and change as the layers move.
//   They thin out with distance, so the far water doesn't shimmer.
//
// The normal map holds tangent-space x and y in r and g and the height in b.
// Software rasterizers divide for real: constants are multiplied in as
// their reciprocals.

uniform sampler2D normalMap;

varying vec2 rippleA;
varying vec2 rippleB;
varying float viewDepth;
varying vec2 drift;

const float DEPTH_RANGE = 100.0;
const vec2 CREST = vec2(0.8, -0.8);
const vec2 WATER_CENTRE = vec2(0.85, 0.85);
const float WATER_RADIUS = 0.15;

// smoothstep(e0, e0 + 1 / invWidth, x) without the division.
float ramp(float e0, float invWidth, float x)
{
    float t = clamp((x - e0) * invWidth, 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

void main()
{
    vec3 a = texture2D(normalMap, rippleA).rgb;
    vec3 b = texture2D(normalMap, rippleB).rgb;

    vec2 sway = drift + 0.55 * (a.rg + b.rg - 1.0);
    // sway / max(1, length(sway))
    sway *= inversesqrt(max(dot(sway, sway), 1.0));

    float height = a.b + b.b;
    // Fewer caps right under the eye, where they would be large, and far
    // away, where they would be smaller than a pixel.
    float threshold = 1.15 + 0.2 * (1.0 - ramp(0.5, 1.0 / 2.0, viewDepth))
                    + 0.7 * ramp(3.0, 1.0 / 11.0, viewDepth);
    float blur = 0.5 * fwidth(height) + 0.001;
    float crest = smoothstep(threshold - blur, threshold + blur, height);
    vec2 code = mix(WATER_CENTRE + WATER_RADIUS * sway, CREST, crest);

    float d = clamp(viewDepth * (255.0 / DEPTH_RANGE), 0.0, 0.996 * 255.0);
    float high = floor(d);
    gl_FragColor = vec4(code * 0.5 + 0.5, high * (1.0 / 255.0), d - high);
}
