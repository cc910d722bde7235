#version 110
// Composite style 1: graphite on paper in one pass. Tone from the colour
// image picks how many nested stroke levels of the hatching show; the
// darkest tones and cast shadows add a second stroke direction; outlines
// come from the normal image's normal and distance discontinuities and from
// the colour image's material borders.
//
// Hatching is laid out in window pixels measured from the quad's own
// corner, so both eyes of a stereo pair get the same pattern and strokes
// keep their width at any window size.

uniform sampler2D colormap;
uniform sampler2D normalmap;
uniform sampler2D hatchmap0;
uniform sampler2D hatchmap1;

varying vec2 uv;
varying vec4 hatchAxes;
varying vec4 crossAxes;

const float HATCH_TEXELS = 512.0;
// Finer than one texel per pixel: thin graphite strokes.
const float HATCH_TEXELS_PER_PIXEL = 1.4;
// Keeps the hatching reads on the top level (log2 1.4 < 0.5): blending in
// the next level only blurred the strokes a little, and software
// rasterizers pay for reading both levels on every pixel.
const float TOP_LEVEL_BIAS = -0.5;
const float DEPTH_RANGE = 100.0;
const float IMAGE_SIZE = 1024.0;
// Must match the colour pass: shadowed colour = colour * mix(this, 1, alpha).
const float SHADOW_DARKENING = 0.55;
// Codes of the water shader.
const vec2 CREST = vec2(0.8, -0.8);
const vec2 WATER_CENTRE = vec2(0.85, 0.85);
const float WATER_RADIUS = 0.15;
// How far the water's sway pushes its hatching, in pixels.
const float SWAY_PIXELS = 5.0;
const vec3 PAPER_TINT = vec3(1.0, 0.985, 0.95);
const vec3 GRAPHITE = vec3(0.16, 0.16, 0.17);

// Tone 0 (black) .. 1 (white). Saturated colours count as mid tones, not
// as dark ones, the way a draughtsman judges them.
float toneOf(vec3 c)
{
    return 0.35 * dot(c, vec3(0.299, 0.587, 0.114)) + 0.65 * max(c.r, max(c.g, c.b));
}

// The colour with the colour pass's shadow darkening divided out.
vec3 surfaceOf(vec4 c)
{
    return c.rgb / mix(SHADOW_DARKENING, 1.0, c.a);
}

// The normal image read at texel centres: filtering would mix the two
// depth bytes with 8-bit results on some drivers and break their sum.
vec4 normalTexel(vec2 at)
{
    return texture2D(normalmap, (floor(at * IMAGE_SIZE) + 0.5) / IMAGE_SIZE);
}

vec3 normalAt(vec4 t)
{
    vec2 xy = t.rg * 2.0 - 1.0;
    return vec3(xy, sqrt(max(1.0 - dot(xy, xy), 0.0)));
}

float depthAt(vec4 t)
{
    return (t.b + t.a / 255.0) * DEPTH_RANGE;
}

// 0..1 outline strength at this pixel. Depth: the pixel is drawn when it
// lies clearly in front of its neighbours on either side (second
// difference, which is near 0 across any plane), so a silhouette is one
// pixel wide and on the near object. Normals: compared with the right and
// upper neighbours only, which also keeps creases one pixel wide; a
// neighbour that is much nearer belongs to another surface and is skipped.
float outline(vec4 c, vec2 at, vec2 px)
{
    vec4 l = normalTexel(at - vec2(px.x, 0.0));
    vec4 r = normalTexel(at + vec2(px.x, 0.0));
    vec4 d = normalTexel(at - vec2(0.0, px.y));
    vec4 u = normalTexel(at + vec2(0.0, px.y));
    float dc = depthAt(c);
    float dl = depthAt(l), dr = depthAt(r), dd = depthAt(d), du = depthAt(u);
    float jump = max(dl + dr - 2.0 * dc, dd + du - 2.0 * dc) / dc;
    float depthEdge = smoothstep(0.05, 0.12, jump);

    vec3 nc = normalAt(c);
    float bendR = (1.0 - dot(nc, normalAt(r))) * step(dc, dr * 1.02);
    float bendU = (1.0 - dot(nc, normalAt(u))) * step(dc, du * 1.02);
    float normalEdge = smoothstep(0.18, 0.4, max(bendR, bendU));
    return max(depthEdge, normalEdge);
}

void main()
{
    vec2 px = vec2(dFdx(uv.x), dFdy(uv.y));
    vec2 pixels = 1.0 / px;

    vec4 colour = texture2D(colormap, uv);
    float shadow = 1.0 - colour.a;
    // Graphite asked for by the tone, 0 (bare paper) .. 1, spread over four
    // levels: the three of the main hatching, then the cross direction.
    float need = clamp((0.8 - toneOf(colour.rgb)) / 0.62, 0.0, 1.0);
    float level = 4.0 * need;

    // The water's codes (see the water shader): hatching on open water is
    // pushed aside by its sway; crests are left bare.
    vec4 centre = normalTexel(uv);
    vec2 code = centre.rg * 2.0 - 1.0;
    vec2 sway = (code - WATER_CENTRE) / WATER_RADIUS;
    float water = 1.0 - step(1.1, length(sway));
    float cap = 1.0 - smoothstep(0.05, 0.15, length(code - CREST));

    vec2 along = hatchAxes.xy * pixels.x + hatchAxes.zw * pixels.y;
    vec2 across = crossAxes.xy * pixels.x + crossAxes.zw * pixels.y;
    vec2 push = sway * (water * SWAY_PIXELS);
    vec3 strokes = texture2D(hatchmap0, (along + push) * (HATCH_TEXELS_PER_PIXEL / HATCH_TEXELS), TOP_LEVEL_BIAS).rgb;
    // Paper grain is the same in every direction: the cross-hatching read
    // carries it along.
    vec3 sheet = texture2D(hatchmap1, (across + push) * (HATCH_TEXELS_PER_PIXEL / HATCH_TEXELS), TOP_LEVEL_BIAS).rgb;

    float v = mix(1.0, strokes.r, clamp(level, 0.0, 1.0));
    v = mix(v, strokes.g, clamp(level - 1.0, 0.0, 1.0));
    v = mix(v, strokes.b, clamp(level - 2.0, 0.0, 1.0));
    // Cross direction: dark tones, and cast shadows at any tone.
    float cross = max(clamp(level - 3.0, 0.0, 1.0), shadow);
    v *= mix(1.0, sheet.g, clamp(cross * 2.0, 0.0, 1.0));
    v *= mix(1.0, sheet.b, clamp(cross * 2.0 - 1.0, 0.0, 1.0));
    // Light tones are drawn with a lighter hand.
    float ink = (1.0 - v) * (0.55 + 0.45 * need) * (1.0 - cap);

    // Outlines: shape from the normal image, and borders between materials
    // (paths on a lawn, window frames) from the colour image, with the
    // shadow darkening divided out so shadows get no outline.
    vec3 surface = surfaceOf(colour);
    vec3 dx = surfaceOf(texture2D(colormap, uv + vec2(px.x, 0.0))) - surface;
    vec3 dy = surfaceOf(texture2D(colormap, uv + vec2(0.0, px.y))) - surface;
    float border = smoothstep(0.006, 0.03, max(dot(dx, dx), dot(dy, dy)));
    float edge = max(outline(centre, uv, px), 0.8 * border);
    ink = 1.0 - (1.0 - ink) * (1.0 - 0.9 * edge);
    gl_FragColor = vec4(mix(PAPER_TINT * sheet.r, GRAPHITE, ink), 1.0);
}
