// Water surface: wind-driven bump coordinates, the refraction position (the camera's own
// projection) and the reflection position (the mirrored camera's projection).
uniform mat4 WorldViewProj;
uniform mat4 WorldReflectionViewProj;
uniform mat4 mWorld;
uniform vec4 mClipPlane;
uniform float Time;
uniform float WindForce;
uniform vec2 WindDirection;
uniform vec2 TextureScale;
varying vec4 refractionPosition;
varying vec4 reflectionPosition;
varying vec3 worldPosition;
varying float clipDistance;
void main()
{
    gl_Position = WorldViewProj * gl_Vertex;
    refractionPosition = gl_Position;
    reflectionPosition = WorldReflectionViewProj * gl_Vertex;
    worldPosition = (mWorld * gl_Vertex).xyz;
    clipDistance = dot(mClipPlane, gl_Position);
    gl_TexCoord[0].xy = gl_MultiTexCoord0.xy * TextureScale + WindDirection * Time * WindForce;
}
