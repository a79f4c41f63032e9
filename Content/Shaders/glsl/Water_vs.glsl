// Water surface: bump coordinates, refraction and reflection positions.
uniform mat4 mWorldViewProj;
uniform mat4 mWorld;
uniform vec4 mClipPlane;
varying vec4 screenPosition;
varying float clipDistance;
void main()
{
    gl_Position = mWorldViewProj * gl_Vertex;
    screenPosition = gl_Position;
    clipDistance = dot(mClipPlane, mWorld * gl_Vertex);
    gl_TexCoord[0] = gl_MultiTexCoord0;
}
