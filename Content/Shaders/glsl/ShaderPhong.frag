// Texel reads by number where the driver has them (see storedDepth).
#extension GL_EXT_gpu_shader4 : enable
// Phong material, pixel stage. Lights come as records of five vec4 rows: colour;
// position and type (1 point, -1 spot, 0 directional); direction; attenuation; cone
// cosines, falloff and range. Texture layers: 0 diffuse, 1 light map, 2 the shadow atlas
// (the three cascades side by side), 3 highlight, reflection or caustics.
//
// A software rasterizer runs both sides of every branch, so a switch that is off for a draw
// still costs its work. The shader manager compiles specialised copies for the common draws
// and picks one per draw: NO_SHADOWS, NO_FOG, NO_RIM and NO_SPECULAR leave out the work of a
// switch that is off; NO_SHADOW_LOOKUP leaves out the map reads where no caster's shadow
// reaches, ONE_CASCADE the second and third cascade;
// POINT_LIGHTS_ONLY keeps only the point-light path of the light loop. Each copy gives the
// same result as the general program with those switches off.
uniform sampler2D diffuseSampler;
uniform sampler2D LightMapSampler;
uniform sampler2D ShadowMapSampler;
uniform sampler2D ReflectionMapSampler;
uniform float material[4]; // layers 0, 1, 2 present; rim shading
struct MaterialInfo {
    vec4 mAmbientLightColor;
    vec4 mDiffuseBaseColor;
    vec3 mCameraPosition;
    float mAlphaOverride;
    float mSpecularPower;
    float mSpecularIntensity;
};
uniform MaterialInfo cinfo;
uniform float mLightingEnabled;
uniform float mShadowsEnabled;
uniform float mSmoothNormals; // 1: the shading normals follow the surface (facingShadowLight)
uniform vec3 mSplitDistance; // far ends of cascades 0, 1, 2 (-1: no such cascade)
uniform float mMAPRES;       // 1 / shadow map resolution
uniform vec4 mHighlightColor;
uniform vec4 mFogColor;
uniform float mFogStart;
uniform float mFogEnd;
uniform int iLightDirIni;
uniform int iLightDirNum;
uniform int iLightPointIni;
uniform int iLightPointNum;
uniform int iLightSpotIni;
uniform int iLightSpotNum;
uniform vec4 lights[MAX_LIGHTS_PER_OBJECT * 5];
#ifdef USE_REFLECTION
varying vec4 reflectionPosition;
#endif

varying vec3 worldPosition;
varying vec3 worldNormal;
varying vec4 vertexColour;
#ifndef NO_SHADOWS
varying vec3 cascadePosition0; // the position in each cascade's map, from the vertex stage
#ifndef ONE_CASCADE
varying vec3 cascadePosition1;
varying vec3 cascadePosition2;
#endif
#endif

// A point or spot light's share: its attenuation, faded out towards the edge of its box.
float pointFade(int i, float dist)
{
    vec3 attenuation = lights[i * 5 + 3].xyz;
    float range = lights[i * 5 + 4].w;
    float fade = 1.0 / max(attenuation.x + attenuation.y * dist + attenuation.z * dist * dist, 0.0001);
    return min(fade * clamp((range - dist) / (0.25 * range), 0.0, 1.0), 1.0);
}

float specularTerm(vec3 normal, vec3 l)
{
#ifdef NO_SPECULAR
    return 0.0;
#else
    if (cinfo.mSpecularIntensity <= 0.0)
        return 0.0;
    vec3 halfway = normalize(l + normalize(cinfo.mCameraPosition - worldPosition));
    return pow(max(dot(normal, halfway), 0.0), max(cinfo.mSpecularPower, 1.0)) * cinfo.mSpecularIntensity;
#endif
}

vec3 lightShare(int i, vec3 normal, vec3 l, float amount)
{
    float diffuse = max(dot(normal, l), 0.0);
    return lights[i * 5].rgb * (diffuse + specularTerm(normal, l) * step(0.0001, diffuse)) * amount;
}

#ifndef NO_SHADOWS
varying vec3 towardsShadowLight; // from the vertex stage

// How squarely the surface faces the shadow light: the cosine between the side of the
// surface the camera sees and the direction towards the light. Where the shading normals
// follow the surface (mSmoothNormals) the shading normal's, so that on a curved surface the
// shadow's edge turns with the shading instead of stepping from facet to facet; elsewhere
// (normals averaged over a box's corners, or bent by an uneven scale) the triangle's plane.
float facingShadowLight(vec3 normal, vec3 worldAcross, vec3 worldDown)
{
    float lightSize = dot(towardsShadowLight, towardsShadowLight);
    if (lightSize <= 0.0)
        return 1.0;
    vec3 towards = towardsShadowLight * inversesqrt(lightSize);
    if (mSmoothNormals > 0.5)
        return dot(normal, towards);
    vec3 face = cross(worldAcross, worldDown);
    if (dot(face, cinfo.mCameraPosition - worldPosition) < 0.0)
        face = -face;
    float faceSize = dot(face, face);
    return faceSize > 0.0 ? dot(face, towards) * inversesqrt(faceSize) : 1.0;
}

// Whether a position in a cascade's map lies on the map (outside it, nothing shadows).
bool onCascadeMap(vec3 coords)
{
    return abs(coords.x) <= 1.0 && abs(coords.y) <= 1.0 && coords.z <= 1.0;
}

#ifndef NO_SHADOW_LOOKUP
// The depth the map holds at texel `index` of a cascade (`first`: the cascade's first column
// in the atlas), kept as 24-bit fixed point in its red, green and blue bytes. Read by texel
// number where the driver can: a software rasterizer then skips the coordinate and wrap
// arithmetic of a sampled read. Both read the same texel.
float storedDepth(vec2 index, float first, float texel)
{
#ifdef GL_EXT_gpu_shader4
    vec3 bytes = texelFetch2D(ShadowMapSampler, ivec2(index.x + first, index.y), 0).rgb;
#else
    vec3 bytes = texture2D(ShadowMapSampler, vec2((index.x + first + 0.5) * texel / 3.0, (index.y + 0.5) * texel)).rgb;
#endif
    return dot(bytes, vec3(16711680.0, 65280.0, 255.0) / 16777215.0);
}

// Lit fraction of one cascade: 1 lit, 0 in shadow. `coords` is the position in the cascade's
// map, `across` and `down` its changes to the next pixel across and down.
//
// The four taps are the 2 x 2 texels around the point (held inside the map at its edges).
// Each compares with the depth this surface has at the centre of the texel it reads (the
// receiver's plane, found from how its map position and depth change from pixel to pixel),
// so a sloped surface does not shadow itself in stripes, whatever its slope. The plane's
// depth changes along each axis on its own, so the four depths come from two shifts an axis.
float cascadeLight(vec3 coords, float cascade, vec3 across, vec3 down)
{
    vec2 uv = coords.xy * 0.5 + 0.5;
    vec2 uvAcross = across.xy * 0.5;
    vec2 uvDown = down.xy * 0.5;
    float determinant = uvAcross.x * uvDown.y - uvDown.x * uvAcross.y;
    vec2 depthSlope = abs(determinant) > 1e-14
        ? vec2(across.z * uvDown.y - down.z * uvAcross.y, uvAcross.x * down.z - uvDown.x * across.z) / determinant
        : vec2(0.0);
    float texel = max(mMAPRES, 0.0001);
    float last = floor(1.0 / texel + 0.5) - 1.0;
    vec2 lower = floor(uv / texel - 0.5);
    vec2 low = clamp(lower, 0.0, last);
    vec2 high = clamp(lower + 1.0, 0.0, last);
    vec2 lowShift = depthSlope * ((low + 0.5) * texel - uv);
    vec2 highShift = depthSlope * ((high + 0.5) * texel - uv);
    float depth = coords.z - 0.00005;
    float first = cascade * (last + 1.0);
    float lit = storedDepth(low, first, texel) < depth + lowShift.x + lowShift.y ? 0.0 : 0.25;
    lit += storedDepth(vec2(high.x, low.y), first, texel) < depth + highShift.x + lowShift.y ? 0.0 : 0.25;
    lit += storedDepth(vec2(low.x, high.y), first, texel) < depth + lowShift.x + highShift.y ? 0.0 : 0.25;
    lit += storedDepth(high, first, texel) < depth + highShift.x + highShift.y ? 0.0 : 0.25;
    return lit;
}
#endif
#endif

// The cascade is chosen by the pixel's view depth against the split distances, and only its
// map is read. A surface turned edge-on to the light or away from it gets no light from it
// (the shadow closes there instead of in stripes along the map's texels), so it reads no map.
// A software rasterizer runs both sides of a branch that differs within a block of pixels:
// there the draw's own choice saves the reads. A draw that no caster's shadow reaches
// (NO_SHADOW_LOOKUP) reads none: they would read lit.
float shadowLight(vec3 normal)
{
#ifdef NO_SHADOWS
    return 1.0;
#else
    if (mShadowsEnabled < 0.5)
        return 1.0;
    // Taken before any branch that differs from pixel to pixel.
    vec3 worldAcross = dFdx(worldPosition);
    vec3 worldDown = dFdy(worldPosition);
#ifndef NO_SHADOW_LOOKUP
    vec3 across = dFdx(cascadePosition0);
    vec3 down = dFdy(cascadePosition0);
#endif
    float viewDepth = 1.0 / gl_FragCoord.w;
    vec3 coords = cascadePosition0;
    float cascade = 0.0;
    float far = mSplitDistance.x;
#ifndef ONE_CASCADE
#ifndef NO_SHADOW_LOOKUP
    vec3 across1 = dFdx(cascadePosition1);
    vec3 down1 = dFdy(cascadePosition1);
    vec3 across2 = dFdx(cascadePosition2);
    vec3 down2 = dFdy(cascadePosition2);
#endif
    if (viewDepth >= mSplitDistance.x) {
        coords = cascadePosition1;
#ifndef NO_SHADOW_LOOKUP
        across = across1;
        down = down1;
#endif
        cascade = 1.0;
    }
    if (viewDepth >= mSplitDistance.y && cascade > 0.5) {
        coords = cascadePosition2;
#ifndef NO_SHADOW_LOOKUP
        across = across2;
        down = down2;
#endif
        cascade = 2.0;
    }
    far = cascade < 0.5 ? mSplitDistance.x : (cascade < 1.5 ? mSplitDistance.y : mSplitDistance.z);
#endif
    if (far <= 0.0 || viewDepth >= far || !onCascadeMap(coords))
        return 1.0;
    float facing = smoothstep(0.0, 0.1, facingShadowLight(normal, worldAcross, worldDown));
#ifdef NO_SHADOW_LOOKUP
    return facing;
#else
    if (facing <= 0.0)
        return 0.0;
    return cascadeLight(coords, cascade, across, down) * facing;
#endif
#endif
}

void main()
{
    vec4 base = vertexColour * vec4(cinfo.mDiffuseBaseColor.rgb, 1.0);
    if (material[0] > 0.5)
        base *= texture2D(diffuseSampler, gl_TexCoord[0].xy);
    vec3 lit = vec3(1.0);
    // A face seen from behind (cloth is drawn from both sides) is lit as the side it shows.
    vec3 normal = normalize(worldNormal) * (gl_FrontFacing ? 1.0 : -1.0);
    if (mLightingEnabled > 0.5) {
        lit = cinfo.mAmbientLightColor.rgb;
        // The sun (the first directional light) is the one the shadow maps are drawn for.
        float sun = shadowLight(normal);
        // Without a directional light the shadow darkens the ambient term alone.
        if (iLightDirNum == 0)
            lit *= mix(0.6, 1.0, sun);
        // One loop over the records, directional first, then point, then spot lights: a
        // software rasterizer pays for every loop it enters, lit or not.
        int count = iLightDirNum + iLightPointNum + iLightSpotNum;
        if (count > MAX_LIGHTS_PER_OBJECT)
            count = MAX_LIGHTS_PER_OBJECT;
        for (int k = 0; k < count; ++k) {
            vec3 l;
            float amount;
#ifdef POINT_LIGHTS_ONLY
            {
                vec3 toLight = lights[k * 5 + 1].xyz - worldPosition;
                float dist = length(toLight);
                l = toLight / max(dist, 0.0001);
                amount = pointFade(k, dist);
            }
#else
            if (k < iLightPointIni) {
                l = -normalize(lights[k * 5 + 2].xyz);
                amount = k == iLightDirIni ? sun : 1.0;
            } else {
                vec3 toLight = lights[k * 5 + 1].xyz - worldPosition;
                float dist = length(toLight);
                l = toLight / max(dist, 0.0001);
                amount = pointFade(k, dist);
                if (k >= iLightSpotIni) {
                    vec4 cone = lights[k * 5 + 4];
                    float angle = dot(-l, normalize(lights[k * 5 + 2].xyz));
                    amount *= pow(clamp((angle - cone.y) / max(cone.x - cone.y, 0.0001), 0.0, 1.0), cone.z);
                }
            }
#endif
            lit += lightShare(k, normal, l, amount);
        }
    }
    vec3 colour = base.rgb * lit;
#ifdef USE_LIGHTMAP
    colour *= texture2D(LightMapSampler, gl_TexCoord[1].xy).rgb * 2.0;
#endif
#ifdef USE_REFLECTION
    vec2 mirror = reflectionPosition.xy / reflectionPosition.w * 0.5 + 0.5;
    colour = mix(colour, texture2D(ReflectionMapSampler, mirror).rgb, 0.3);
#endif
#ifdef USE_CAUSTICS
    colour += texture2D(ReflectionMapSampler, gl_TexCoord[2].xy).rgb * 0.25;
#endif
#ifndef NO_RIM
    if (material[3] > 0.5) {
        float rim = 1.0 - max(dot(normal, normalize(cinfo.mCameraPosition - worldPosition)), 0.0);
        colour += vec3(pow(rim, 3.0) * 0.4);
    }
#endif
#ifdef USE_HIGHLIGHT
    colour = mix(colour, mHighlightColor.rgb, mHighlightColor.a * 0.5);
#endif
#ifndef NO_FOG
    if (mFogEnd > mFogStart && mFogStart < 999999.0) {
        float fogDistance = length(cinfo.mCameraPosition - worldPosition);
        float fog = clamp((mFogEnd - fogDistance) / max(mFogEnd - mFogStart, 0.0001), 0.0, 1.0);
        colour = mix(mFogColor.rgb, colour, fog);
    }
#endif
    gl_FragColor = vec4(colour, base.a * cinfo.mAlphaOverride);
}
