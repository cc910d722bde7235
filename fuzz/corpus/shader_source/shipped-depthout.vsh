#version 110
// Shadow pass: the light's orthographic view of everything that casts a
// shadow.

void main()
{
    gl_Position = ftransform();
}
