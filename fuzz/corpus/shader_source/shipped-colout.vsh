#version 110
// Colour pass: material colour, light and cast shadow. Texture matrix 1
// carries character geometry into the world (identity for the rest),
// texture matrix 0 carries world points into the shadow image.
//
// Software rasterizers set up every varying of every triangle and
// interpolate it for every fragment, so the shadow coordinate arrives
// finished: the light's projection is orthographic (the shadow matrix is
// affine, its w 1), and the offset along the normal that keeps the surface
// from shadowing itself is worked out per corner.

uniform vec4 lightPos;

varying vec3 worldNormal;
varying float lightDot;
varying vec3 shadowCoord;

void main()
{
    vec4 world = gl_TextureMatrix[1] * gl_Vertex;
    vec3 normal = (gl_TextureMatrix[1] * vec4(gl_Normal, 0.0)).xyz;
    // The light is far away: one direction for the whole scene. lightDot is
    // linear in the normal, so the fragment shader turns it into the cosine
    // with the interpolated normal's length.
    vec3 toLight = normalize(lightPos.xyz);
    worldNormal = normal;
    lightDot = dot(normal, toLight);

    // Receiver offset against acne: along the normal by one to two shadow
    // texels, more where the light grazes the surface, and a tiny constant
    // in depth for what remains. Small enough that contact shadows stay
    // attached to what casts them.
    vec3 unitNormal = normalize(normal);
    float facing = dot(unitNormal, toLight);
    float slope = sqrt(max(1.0 - facing * facing, 0.0));
    vec3 shadowNormal = (gl_TextureMatrix[0] * vec4(unitNormal, 0.0)).xyz;
    shadowCoord = (gl_TextureMatrix[0] * world).xyz + shadowNormal * (0.010 + 0.012 * slope)
                - vec3(0.0, 0.0, 0.00008);
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
