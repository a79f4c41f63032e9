// HUD meter fill: the mask (layer 1) decides which part of the bar the fill value covers.
uniform sampler2D diffuseSampler;
uniform sampler2D meterSample;
uniform float meterValue;
uniform float meterAlpha;
void main()
{
    vec4 colour = texture2D(diffuseSampler, gl_TexCoord[0].xy) * gl_Color;
    float mask = texture2D(meterSample, gl_TexCoord[0].xy).r;
    float shown = mask <= meterValue ? 1.0 : 0.0;
    gl_FragColor = vec4(colour.rgb, colour.a * shown * meterAlpha);
}
