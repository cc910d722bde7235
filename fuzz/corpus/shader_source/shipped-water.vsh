#version 110
// Water in the normal pass: two layers of the ripple normal map drifting
// against each other. The texture coordinates run 0..15 across the plane;
// texture matrix 0 still holds the shadow matrix, so they are used as given.
// The slow circling drift depends on waterMove alone: it is turned here,
// once per corner, not in every fragment.

uniform float waterMove;

varying vec2 rippleA;
varying vec2 rippleB;
varying float viewDepth;
varying vec2 drift;

// Turns of the drift per unit of waterMove (10 seconds): a whole number, so
// the wrap of waterMove at 2000 doesn't show.
const float DRIFT_TURNS = 1.0;

void main()
{
    vec2 uv = gl_MultiTexCoord0.xy;
    // Every drift speed times 2000 is a whole number of tiles, so the jump
    // of waterMove from 2000 back to 0 doesn't show.
    rippleA = uv * vec2(0.9, 2.0) + vec2(0.05, 0.4) * waterMove;
    rippleB = uv * vec2(1.3, 2.8) + vec2(-0.15, 0.25) * waterMove;
    viewDepth = -(gl_ModelViewMatrix * gl_Vertex).z;
    float turn = 6.2831853 * fract(waterMove * DRIFT_TURNS);
    drift = 0.45 * vec2(cos(turn), sin(turn));
    gl_Position = ftransform();
}
