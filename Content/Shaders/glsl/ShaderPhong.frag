// Phong material, pixel stage. Lights come as records of five vec4 rows: colour;
// position and type (1 point, -1 spot, 0 directional); direction; attenuation; cone
// cosines, falloff and range. Texture layers: 0 diffuse, 1 light map, 2 shadow atlas,
// 3 highlight or reflection.
uniform sampler2D diffuseSampler;
uniform sampler2D LightMapSampler;
uniform sampler2D ReflectionMapSampler;
uniform float material[4]; // layers 0, 1, 2 present; rim shading
uniform vec4 mAmbientColor;
uniform float mLightingEnabled;
uniform vec4 mHighlightColor;
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

// A point or spot light's share: its attenuation, faded out towards the edge of its box.
float pointFade(int i, float dist)
{
    vec3 attenuation = lights[i * 5 + 3].xyz;
    float range = lights[i * 5 + 4].w;
    float fade = 1.0 / max(attenuation.x + attenuation.y * dist + attenuation.z * dist * dist, 0.0001);
    return min(fade * clamp((range - dist) / (0.25 * range), 0.0, 1.0), 1.0);
}

vec3 directionalLight(int i, vec3 normal)
{
    return lights[i * 5].rgb * max(dot(normal, -normalize(lights[i * 5 + 2].xyz)), 0.0);
}

vec3 pointLight(int i, vec3 normal)
{
    vec3 toLight = lights[i * 5 + 1].xyz - worldPosition;
    float dist = length(toLight);
    vec3 l = toLight / max(dist, 0.0001);
    return lights[i * 5].rgb * max(dot(normal, l), 0.0) * pointFade(i, dist);
}

vec3 spotLight(int i, vec3 normal)
{
    vec3 toLight = lights[i * 5 + 1].xyz - worldPosition;
    float dist = length(toLight);
    vec3 l = toLight / max(dist, 0.0001);
    vec4 cone = lights[i * 5 + 4];
    float angle = dot(-l, normalize(lights[i * 5 + 2].xyz));
    float spot = pow(clamp((angle - cone.y) / max(cone.x - cone.y, 0.0001), 0.0, 1.0), cone.z);
    return lights[i * 5].rgb * max(dot(normal, l), 0.0) * pointFade(i, dist) * spot;
}

void main()
{
    vec4 base = vertexColour;
    if (material[0] > 0.5)
        base *= texture2D(diffuseSampler, gl_TexCoord[0].xy);
    vec3 lit = vec3(1.0);
    if (mLightingEnabled > 0.5) {
        vec3 normal = normalize(worldNormal);
        lit = mAmbientColor.rgb;
        // One loop per light type: a type without lights costs nothing.
        for (int i = 0; i < MAX_LIGHTS_PER_OBJECT; ++i) {
            if (i >= iLightDirNum)
                break;
            lit += directionalLight(iLightDirIni + i, normal);
        }
        for (int i = 0; i < MAX_LIGHTS_PER_OBJECT; ++i) {
            if (i >= iLightPointNum)
                break;
            lit += pointLight(iLightPointIni + i, normal);
        }
        for (int i = 0; i < MAX_LIGHTS_PER_OBJECT; ++i) {
            if (i >= iLightSpotNum)
                break;
            lit += spotLight(iLightSpotIni + i, normal);
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
#ifdef USE_HIGHLIGHT
    colour = mix(colour, mHighlightColor.rgb, mHighlightColor.a * 0.5);
#endif
    gl_FragColor = vec4(colour, base.a);
}
