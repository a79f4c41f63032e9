// Phong material, vertex stage. The shader manager puts "#version 120", the feature
// defines (USE_SKINNING, USE_INSTANCING, USE_LIGHTMAP, USE_REFLECTION, ...) and
// MAX_LIGHTS_PER_OBJECT in front of this text.
//
// No clip plane here: a discard or a clip vertex costs a software rasterizer up to half the
// frame on every draw. A pass that must clip (a reflection) puts its clip plane into the
// near plane of its projection instead.
uniform mat4 mWorldViewProj;          // camera view-projection x world (instancing: without world)
uniform mat4 mWorld;
uniform vec2 mTextureScale;
uniform vec2 mTextureTranslation;
uniform vec2 mTextureRotate;          // cosine, sine
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
#ifdef USE_SKINNING
uniform float mSkinned;
#endif
#ifdef USE_REFLECTION
uniform mat4 mReflectionView;
varying vec4 reflectionPosition;
#endif
#ifdef USE_CAUSTICS
uniform mat4 mCausticMatrix;
#endif

varying vec3 worldPosition;
varying vec3 worldNormal;
varying vec4 vertexColour;
#ifndef NO_SHADOWS
uniform mat4 mWorldViewProj2;       // shadow cascade 0 light view-projection (world space)
uniform mat4 mShadowWorldViewProj2; // cascade 1
uniform mat4 mShadowWorldViewProj3; // cascade 2
uniform float mMAPRES;              // 1 / shadow map resolution
uniform float mTwoSided;            // 1: the material is drawn from both sides
// Towards the shadow light, in world space (not of unit length): the direction along which
// the cascade matrix keeps a point's map coordinates (the cross product of its first two
// rows), turned to where the depth falls. One value a draw.
varying vec3 towardsShadowLight;
// The position in each cascade's map (x, y -1..1, depth): worked out here once a vertex, so
// that the pixel stage only picks one (the maps are orthographic: no division). ONE_CASCADE:
// the second and third are not used.
varying vec3 cascadePosition0;
#ifndef ONE_CASCADE
varying vec3 cascadePosition1;
varying vec3 cascadePosition2;
#endif

// The point a cascade's map is read at: 2.5 of that cascade's texels off the surface along
// its normal. Where a curved surface turns from the light, its flat facets would otherwise
// shadow each other, in steps along the facets.
vec3 cascadePoint(mat4 cascade, vec3 world, vec3 normal)
{
    float across = length(vec3(cascade[0][0], cascade[1][0], cascade[2][0]));
    float texel = across > 0.0 ? 2.0 * mMAPRES / across : 0.0;
    return (cascade * vec4(world + normal * (2.5 * texel), 1.0)).xyz;
}
#endif

void main()
{
    vec4 position = gl_Vertex;
    vec3 normal = gl_Normal;
    vertexColour = gl_Color;
#ifdef USE_SKINNING
    // Joint numbers + 1 in the vertex colour (0: none); the weights in the binormal (the
    // second texture set's xyz); the fourth weight is what the others leave of 1.
    vertexColour = vec4(1.0);
    if (mSkinned > 0.5) {
        vec4 joints = floor(gl_Color * 255.9);
        vec3 w3 = gl_MultiTexCoord2.xyz;
        vec4 weights = vec4(w3, max(1.0 - w3.x - w3.y - w3.z, 0.0));
        vec3 blended = vec3(0.0);
        vec3 blendedNormal = vec3(0.0);
        float total = 0.0;
        for (int i = 0; i < 4; ++i) {
            if (joints[i] < 0.5)
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
    // The instance's world transform replaces mWorld; the matrices then hold no world part.
    int first = int(gl_MultiTexCoord1.x + 0.5) * RowCount;
    vec4 world = vec4(applyRows(first, position), 1.0);
    worldNormal = normalize(applyRows(first, vec4(normal, 0.0)));
    gl_Position = mWorldViewProj * world;
#else
    vec4 world = mWorld * position;
    worldNormal = normalize((mWorld * vec4(normal, 0.0)).xyz);
    gl_Position = mWorldViewProj * position;
#endif
    worldPosition = world.xyz;
#ifndef NO_SHADOWS
    towardsShadowLight = cross(vec3(mWorldViewProj2[0][0], mWorldViewProj2[1][0], mWorldViewProj2[2][0]),
                               vec3(mWorldViewProj2[0][1], mWorldViewProj2[1][1], mWorldViewProj2[2][1]));
    if (dot(towardsShadowLight, vec3(mWorldViewProj2[0][2], mWorldViewProj2[1][2], mWorldViewProj2[2][2])) > 0.0)
        towardsShadowLight = -towardsShadowLight;
    // Off the outer side; a surface drawn from both sides (cloth) off the side that faces the
    // light, the one that can show lit.
    vec3 offNormal = mTwoSided > 0.5 && dot(worldNormal, towardsShadowLight) < 0.0 ? -worldNormal : worldNormal;
    cascadePosition0 = cascadePoint(mWorldViewProj2, worldPosition, offNormal);
#ifndef ONE_CASCADE
    cascadePosition1 = cascadePoint(mShadowWorldViewProj2, worldPosition, offNormal);
    cascadePosition2 = cascadePoint(mShadowWorldViewProj3, worldPosition, offNormal);
#endif
#endif
#ifdef USE_REFLECTION
    reflectionPosition = mReflectionView * position;
#endif
    vec2 uv = gl_MultiTexCoord0.xy;
    uv = vec2(uv.x * mTextureRotate.x - uv.y * mTextureRotate.y, uv.x * mTextureRotate.y + uv.y * mTextureRotate.x);
    gl_TexCoord[0] = vec4(uv * mTextureScale + mTextureTranslation, 0.0, 1.0);
    gl_TexCoord[1] = gl_MultiTexCoord1;
#ifdef USE_CAUSTICS
    gl_TexCoord[2] = mCausticMatrix * vec4(worldPosition * 0.05, 1.0);
#endif
}
