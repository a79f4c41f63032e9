// Particles: position, colour, texture coordinates and the reflection passes' clip plane.
uniform mat4 mWorldViewProj;
uniform vec4 mClipPlane;
varying float clipDistance;
void main()
{
    gl_Position = mWorldViewProj * gl_Vertex;
    clipDistance = dot(mClipPlane, gl_Vertex);
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
}
