#version 110
// Composite styles 2 and 3: pencil of colour pencilColor, drawn as four
// layers that multiply into each other. hatchOffset.x doubles as the
// layer's rank: 0 is the first layer, 0.25, 0.5 and 0.75 the later ones.
// Every layer draws its own direction of tone hatching and of tight
// cast-shadow strokes, and sets in at a darker tone than the one before,
// so tones build up from single hatching to dense cross-hatching. The first
// layer lays down the paper and the outline; the later ones retrace the
// outline lightly, wandering up to edgeSize off it, like a sketch that was
// gone over again. All layers run the same code, without branches: drivers
// that run both sides of a branch would pay for the first layer's extras
// four times.
//
// Hatching is laid out in window pixels from the quad's own corner: the
// same in both eyes of a stereo pair, and the same stroke width at any
// window size. The paper and the shadow strokes are read at no more than
// one texel per pixel: magnified reads are the cheapest on software
// rasterizers.

uniform sampler2D colormap;
uniform sampler2D hatchmap;
uniform sampler2D sheetmap;
uniform sampler2D shadowhatch;
uniform vec4 hatchOffset;
uniform float hatchScale;
uniform vec4 pencilColor;
uniform float edgeSize;

varying vec2 uv;
varying vec4 hatchAxes;
varying vec4 crossAxes;

// hatchScale is the scale of the stroke pattern: hatching texels per window
// pixel = this / hatchScale, so larger scales give broader strokes.
const float HATCH_TEXEL_SCALE = 0.0095;
const float HATCH_TEXELS = 512.0;
const float SHADOW_TEXELS_PER_PIXEL = 0.9;
// Outline width in window pixels for an edgeSize of 1.
const float EDGE_PIXELS = 500.0;
// Must match the colour pass: shadowed colour = colour * mix(this, 1, alpha).
const float SHADOW_DARKENING = 0.55;
const vec3 PAPER_TINT = vec3(1.0, 0.99, 0.965);

float toneOf(vec3 c)
{
    return 0.35 * dot(c, vec3(0.299, 0.587, 0.114)) + 0.65 * max(c.r, max(c.g, c.b));
}

// The colour with its shadow darkening divided out: shadow borders are not
// outlines.
vec3 surfaceOf(vec4 c)
{
    return c.rgb / mix(SHADOW_DARKENING, 1.0, c.a);
}

// A nested hatching texel (r light .. b dark) at a level of 0 (paper) .. 3.
float hatched(vec3 strokes, float level)
{
    float v = mix(1.0, strokes.r, clamp(level, 0.0, 1.0));
    v = mix(v, strokes.g, clamp(level - 1.0, 0.0, 1.0));
    return mix(v, strokes.b, clamp(level - 2.0, 0.0, 1.0));
}

void main()
{
    vec2 px = vec2(dFdx(uv.x), dFdy(uv.y));
    vec2 pixels = 1.0 / px;
    float rank = hatchOffset.x;
    float first = 1.0 - step(0.125, rank);

    // The sheet: paper at one texel per pixel for the first layer; for the
    // others its low frequencies, greatly enlarged, steer the retraced line.
    vec2 sheetAt = mix(uv * 0.6 + hatchOffset.xy, uv * pixels / HATCH_TEXELS, first);
    float sheet = texture2D(sheetmap, sheetAt).r;
    vec2 wander = (sheet - 0.945) / 0.055 * edgeSize * (1.0 - first) * vec2(0.6, 1.0);

    vec2 at = uv + wander;
    vec4 colour = texture2D(colormap, at);
    float shadow = 1.0 - colour.a;
    // Graphite asked for by the tone, 0..1; this layer sets in at its rank.
    float need = clamp((0.8 - toneOf(colour.rgb)) / 0.62, 0.0, 1.0);
    float level = clamp((need - rank * 0.8) / 0.2, 0.0, 3.0);
    vec2 hatchAt = (hatchAxes.xy * pixels.x + hatchAxes.zw * pixels.y)
                 * (HATCH_TEXEL_SCALE / (hatchScale * HATCH_TEXELS)) + hatchOffset.xy;
    float v = hatched(texture2D(hatchmap, hatchAt).rgb, level);
    vec2 tightAt = (crossAxes.xy * pixels.x + crossAxes.zw * pixels.y)
                 * (SHADOW_TEXELS_PER_PIXEL / HATCH_TEXELS) + hatchOffset.yx;
    v *= hatched(texture2D(shadowhatch, tightAt).rgb, shadow * (2.2 - rank * 2.4));

    // Outline: colour discontinuities towards the right and upper
    // neighbours, edgeSize away (at least one pixel).
    vec2 reach = px * max(1.0, edgeSize * EDGE_PIXELS);
    vec3 c = surfaceOf(colour);
    vec3 dx = surfaceOf(texture2D(colormap, at + vec2(reach.x, 0.0))) - c;
    vec3 dy = surfaceOf(texture2D(colormap, at + vec2(0.0, reach.y))) - c;
    float edge = smoothstep(0.006, 0.03, max(dot(dx, dx), dot(dy, dy))) * mix(0.35, 1.0, first);

    // A dark pencil is drawn with a lighter hand, so both pencils give
    // the same range of tones.
    float pressure = min(1.0, 0.45 / (1.0 - dot(pencilColor.rgb, vec3(0.299, 0.587, 0.114))));
    vec3 layer = mix(vec3(1.0), pencilColor.rgb, (1.0 - v) * pressure);
    layer = mix(layer, pencilColor.rgb * pencilColor.rgb, edge);
    gl_FragColor = vec4(layer * mix(vec3(1.0), PAPER_TINT * sheet, first), 1.0);
}
