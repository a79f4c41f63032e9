// HUD meter fill: the fill texture (layer 0) within the mask's shape (layer 1, its alpha),
// shown from the left edge up to meterValue of the width.
uniform sampler2D diffuseSampler;
uniform sampler2D meterSample;
uniform float meterValue;
uniform float meterAlpha;
void main()
{
    vec4 colour = texture2D(diffuseSampler, gl_TexCoord[0].xy);
    float mask = texture2D(meterSample, gl_TexCoord[0].xy).a;
    float shown = gl_TexCoord[0].x <= meterValue ? 1.0 : 0.0;
    gl_FragColor = vec4(colour.rgb, colour.a * mask * shown * meterAlpha);
}
