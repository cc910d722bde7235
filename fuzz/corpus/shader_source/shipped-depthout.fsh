#version 110
// Shadow pass: the window depth of the nearest surface, which is the same
// [0, 1] value the colour pass finds in the z of the shadow matrix (bias *
// light projection * light view; the projection is orthographic, so this
// depth is linear along the light's rays).

void main()
{
    gl_FragColor = vec4(gl_FragCoord.z, gl_FragCoord.z, gl_FragCoord.z, 1.0);
}
