// Particles: the texture times the particle colour; additive particles fade by colour.
uniform sampler2D diffuseSampler;
uniform float additive;
uniform vec4 mClipPlane;
varying float clipDistance;
void main()
{
    if (mClipPlane != vec4(0.0) && clipDistance < 0.0)
        discard;
    vec4 colour = texture2D(diffuseSampler, gl_TexCoord[0].xy) * gl_Color;
    if (additive > 0.5)
        colour.rgb *= colour.a;
    gl_FragColor = colour;
}
