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
uniform int iLightDirNum;
uniform int iLightPointNum;
uniform int iLightSpotNum;
uniform vec4 lights[MAX_LIGHTS_PER_OBJECT * 5];
#ifdef USE_REFLECTION
varying vec4 reflectionPosition;
#endif

varying vec3 worldPosition;
varying vec3 worldNormal;
varying vec4 vertexColour;

vec3 lightContribution(int i, vec3 normal)
{
    vec4 colour = lights[i * 5];
    vec4 place = lights[i * 5 + 1];
    vec3 direction = lights[i * 5 + 2].xyz;
    vec3 attenuation = lights[i * 5 + 3].xyz;
    vec4 cone = lights[i * 5 + 4];
    if (place.w == 0.0)
        return colour.rgb * max(dot(normal, -normalize(direction)), 0.0);
    vec3 toLight = place.xyz - worldPosition;
    float dist = length(toLight);
    if (dist > cone.w)
        return vec3(0.0);
    vec3 l = toLight / max(dist, 0.0001);
    float fade = 1.0 / max(attenuation.x + attenuation.y * dist + attenuation.z * dist * dist, 0.0001);
    // The light fades out towards the edge of its box.
    fade *= clamp((cone.w - dist) / (0.25 * cone.w), 0.0, 1.0);
    if (place.w < 0.0) {
        float angle = dot(-l, normalize(direction));
        if (angle < cone.y)
            return vec3(0.0);
        fade *= pow(clamp((angle - cone.y) / max(cone.x - cone.y, 0.0001), 0.0, 1.0), cone.z);
    }
    return colour.rgb * max(dot(normal, l), 0.0) * min(fade, 1.0);
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
        int count = iLightDirNum + iLightPointNum + iLightSpotNum;
        for (int i = 0; i < MAX_LIGHTS_PER_OBJECT; ++i) {
            if (i >= count)
                break;
            lit += lightContribution(i, normal);
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
