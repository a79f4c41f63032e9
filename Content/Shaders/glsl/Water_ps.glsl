// Water surface: the refraction and reflection images disturbed by the bump map, blended by
// a Fresnel term and tinted by the water colour.
uniform sampler2D WaterBump;
uniform sampler2D RefractionMap;
uniform sampler2D ReflectionMap;
uniform vec4 mClipPlane;
uniform vec3 CameraPosition;
uniform float WaveHeight;
uniform vec4 WaterColor;
uniform float ColorBlendFactor;
uniform float ReflectionEnabled;
uniform float RefractionEnabled;
uniform float FresnelStrength;
varying vec4 refractionPosition;
varying vec4 reflectionPosition;
varying vec3 worldPosition;
varying float clipDistance;
void main()
{
    if (mClipPlane != vec4(0.0) && clipDistance < 0.0)
        discard;
    // The wind drives the bump map across the surface (the vertex shader scrolls it).
    vec2 wave = texture2D(WaterBump, gl_TexCoord[0].xy).rg - 0.5;
    vec2 bump = wave * WaveHeight * 0.1;
    vec2 refractionUV = refractionPosition.xy / refractionPosition.w * 0.5 + 0.5 + bump;
    vec2 reflectionUV = reflectionPosition.xy / reflectionPosition.w * 0.5 + 0.5 + bump;
    vec3 refraction = mix(WaterColor.rgb, texture2D(RefractionMap, refractionUV).rgb, RefractionEnabled);
    vec3 reflection = mix(WaterColor.rgb, texture2D(ReflectionMap, reflectionUV).rgb, ReflectionEnabled);
    vec3 toEye = normalize(CameraPosition - worldPosition);
    float fresnel = clamp(pow(1.0 - abs(toEye.y), 2.0) * FresnelStrength, 0.15, 0.85);
    vec3 colour = mix(refraction, reflection, fresnel);
    // The waves show on the surface itself, also where the images behind it are even (a
    // trough's floor): crests facing the light brighten, the far slopes darken, and the
    // steepest crests glint. Calm water (no wave height) stays flat.
    vec3 normal = normalize(vec3(-wave.x * WaveHeight * 6.0, 1.0, -wave.y * WaveHeight * 6.0));
    vec3 sun = normalize(vec3(0.4, 1.0, 0.3));
    float slope = dot(normal, sun) - dot(vec3(0.0, 1.0, 0.0), sun);
    float glint = pow(max(dot(reflect(-toEye, normal), sun), 0.0), 24.0) * min(WaveHeight * 4.0, 1.0);
    colour = colour * (1.0 + slope * 2.0) + vec3(glint * 0.5);
    gl_FragColor = vec4(mix(colour, WaterColor.rgb, ColorBlendFactor), 1.0);
}
