#version 110
// Water in the normal image. Its distance is written like the normal pass
// writes it (b and a); its r and g carry codes instead of a normal, with x,
// y values no unit normal can have (longer than 1), which the composite
// reads back:
// - WATER_CENTRE + WATER_RADIUS * sway, |sway| <= 1: open water; sway is
//   how far the hatching drawn on it is pushed aside, by the slope of the
//   ripples (as a refracted picture would be) and by a slow circling drift,
//   so the water's strokes waver and move. Neighbouring codes stay close,
//   so no outline appears inside open water.
// - CREST: where the crests of the two drifting ripple layers meet. Small
//   islands with a border about a pixel soft, which the composite outlines
//   and leaves bare: white caps that drift and change as the layers move.
//   They thin out with distance, so the far water doesn't shimmer.
//
// The normal map holds tangent-space x and y in r and g and the height in b.

uniform sampler2D normalMap;
uniform float waterMove;

varying vec2 rippleA;
varying vec2 rippleB;
varying float viewDepth;

const float DEPTH_RANGE = 100.0;
const vec2 CREST = vec2(0.8, -0.8);
const vec2 WATER_CENTRE = vec2(0.85, 0.85);
const float WATER_RADIUS = 0.15;
// Turns of the drift per unit of waterMove (10 seconds): a whole number, so
// the wrap of waterMove at 2000 doesn't show.
const float DRIFT_TURNS = 1.0;

void main()
{
    vec3 a = texture2D(normalMap, rippleA).rgb;
    vec3 b = texture2D(normalMap, rippleB).rgb;

    float turn = 6.2831853 * fract(waterMove * DRIFT_TURNS);
    vec2 sway = 0.45 * vec2(cos(turn), sin(turn)) + 0.55 * (a.rg + b.rg - 1.0);
    sway /= max(1.0, length(sway));

    float height = a.b + b.b;
    // Fewer caps right under the eye, where they would be large, and far
    // away, where they would be smaller than a pixel.
    float threshold = 1.15 + 0.2 * (1.0 - smoothstep(0.5, 2.5, viewDepth))
                    + 0.7 * smoothstep(3.0, 14.0, viewDepth);
    float blur = 0.5 * fwidth(height) + 0.001;
    float crest = smoothstep(threshold - blur, threshold + blur, height);
    vec2 code = mix(WATER_CENTRE + WATER_RADIUS * sway, CREST, crest);

    float d = clamp(viewDepth / DEPTH_RANGE, 0.0, 0.996) * 255.0;
    float high = floor(d);
    gl_FragColor = vec4(code * 0.5 + 0.5, high / 255.0, d - high);
}
