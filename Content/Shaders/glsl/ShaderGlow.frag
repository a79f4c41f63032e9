// Glow pass: an additive rim in the highlight colour, pulsing with the object's alpha.
uniform sampler2D diffuseSampler;
uniform float mAlphaOverride;
uniform vec4 mHighlightColor;
varying float facing;
void main()
{
    float rim = pow(1.0 - facing, 2.0);
    gl_FragColor = vec4(mHighlightColor.rgb * rim * mAlphaOverride * mHighlightColor.a, 1.0);
}
