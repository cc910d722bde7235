#version 110
// Colour pass output: rgb = material colour * light * shadow darkening,
// alpha = how lit the point is (1 lit, 0 in cast shadow or turned away
// from the light). The darkening is mix(SHADOW_DARKENING, 1.0, alpha), so
// the composite can divide it out again and find edges without outlining
// the shadows.

uniform sampler2D shadowMap;
uniform vec4 lightPos;

varying vec3 worldNormal;
varying vec4 shadowCoord;
varying vec3 shadowNormal;

const float SHADOW_DARKENING = 0.55;

// 1.0 where the light reaches coord. One nearest texel: the shadow image
// is fine enough (about 1/120 of a unit) that its steps vanish under the
// hatching, and they stay put in the world when the camera moves; every
// further tap would be paid for each fragment of every overdrawn surface.
float lightReaching(vec3 coord)
{
    if (coord.x <= 0.0 || coord.x >= 1.0 || coord.y <= 0.0 || coord.y >= 1.0 || coord.z >= 1.0)
        return 1.0;
    return step(coord.z, texture2D(shadowMap, coord.xy).r);
}

void main()
{
    vec3 n = normalize(worldNormal);
    // The light is far away and its shadow projection orthographic: one
    // direction for the whole scene.
    vec3 toLight = normalize(lightPos.xyz);
    float facing = dot(n, toLight);

    // Receiver offset against acne: along the normal by one to two shadow
    // texels, more where the light grazes the surface, and a tiny constant
    // in depth for what remains. Small enough that contact shadows stay
    // attached to what casts them.
    float slope = sqrt(max(1.0 - facing * facing, 0.0));
    vec3 coord = shadowCoord.xyz / shadowCoord.w + shadowNormal * (0.010 + 0.012 * slope);
    coord.z -= 0.00008;
    float lit = lightReaching(coord) * smoothstep(0.0, 0.2, facing);

    float light = 0.34 + 0.08 * n.y + 0.62 * max(facing, 0.0);
    vec3 colour = gl_Color.rgb * min(light, 1.0) * mix(SHADOW_DARKENING, 1.0, lit);
    gl_FragColor = vec4(colour, lit);
}
