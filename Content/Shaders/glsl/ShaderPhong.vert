// Phong material, vertex stage. The shader manager puts "#version 120", the feature
// defines (USE_SKINNING, USE_INSTANCING, USE_LIGHTMAP, USE_REFLECTION, ...) and
// MAX_LIGHTS_PER_OBJECT in front of this text.
//
// No clip plane here: a discard or a clip vertex costs a software rasterizer up to half the
// frame on every draw. A pass that must clip (a reflection) puts its clip plane into the
// near plane of its projection instead.
uniform mat4 mWorldViewProj;
uniform mat4 mWorld;
#if defined(USE_SKINNING) || defined(USE_INSTANCING)
#define MaxBones 75
#define RowCount 3
uniform vec4 mJointTransform[MaxBones * RowCount];
vec3 applyRows(int first, vec4 p)
{
    return vec3(dot(mJointTransform[first], p), dot(mJointTransform[first + 1], p),
                dot(mJointTransform[first + 2], p));
}
#endif
#ifdef USE_REFLECTION
uniform mat4 mReflectionView;
varying vec4 reflectionPosition;
#endif

varying vec3 worldPosition;
varying vec3 worldNormal;
varying vec4 vertexColour;

void main()
{
    vec4 position = gl_Vertex;
    vec3 normal = gl_Normal;
#ifdef USE_SKINNING
    // Joint numbers are 1-based in the vertex colour; the weights ride in the binormal and
    // the fourth texture set.
    vec4 joints = floor(gl_Color * 255.9);
    vec4 weights = vec4(gl_MultiTexCoord2.xyz, gl_MultiTexCoord3.x);
    if (joints.x > 0.5) {
        vec3 blended = vec3(0.0);
        vec3 blendedNormal = vec3(0.0);
        float total = 0.0;
        for (int i = 0; i < 4; ++i) {
            if (i > 0 && joints[i] < 0.5)
                continue;
            int first = int(joints[i] - 1.0) * RowCount;
            blended += applyRows(first, gl_Vertex) * weights[i];
            blendedNormal += applyRows(first, vec4(gl_Normal, 0.0)) * weights[i];
            total += weights[i];
        }
        if (total > 0.0) {
            position = vec4(blended / total, 1.0);
            normal = blendedNormal;
        }
    }
#endif
#ifdef USE_INSTANCING
    // The instance's world transform replaces mWorld; mWorldViewProj then holds view x
    // projection only.
    int first = int(gl_MultiTexCoord1.x + 0.5) * RowCount;
    vec4 world = vec4(applyRows(first, position), 1.0);
    worldNormal = normalize(applyRows(first, vec4(normal, 0.0)));
    worldPosition = world.xyz;
    gl_Position = mWorldViewProj * world;
#else
    vec4 world = mWorld * position;
    worldPosition = world.xyz;
    worldNormal = normalize((mWorld * vec4(normal, 0.0)).xyz);
    gl_Position = mWorldViewProj * position;
#endif
#ifdef USE_REFLECTION
    reflectionPosition = mReflectionView * position;
#endif
    vertexColour = gl_Color;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_MultiTexCoord1;
}
