// Water surface: the refraction and reflection targets disturbed by the bump map.
uniform sampler2D WaterBump;
uniform sampler2D RefractionMap;
uniform sampler2D ReflectionMap;
uniform vec4 mClipPlane;
varying vec4 screenPosition;
varying float clipDistance;
void main()
{
    if (mClipPlane != vec4(0.0) && clipDistance < 0.0)
        discard;
    vec2 bump = (texture2D(WaterBump, gl_TexCoord[0].xy).rg - 0.5) * 0.05;
    vec2 screen = screenPosition.xy / screenPosition.w * 0.5 + 0.5;
    vec4 refraction = texture2D(RefractionMap, screen + bump);
    vec4 reflection = texture2D(ReflectionMap, vec2(screen.x, 1.0 - screen.y) + bump);
    gl_FragColor = vec4(mix(refraction.rgb, reflection.rgb, 0.5), 0.8);
}
