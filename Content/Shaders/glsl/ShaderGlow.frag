// Glow pass: an additive rim in the highlight colour, pulsing with the object's alpha.
uniform sampler2D diffuseSampler;
uniform float mAlphaOverride;
uniform vec4 mHighlightColor;
varying float facing;
void main()
{
    // A broad rim, at full strength where the pulse peaks (the pulse alpha peaks at 0.5): the
    // colour is added over the object, so it shows on any surface the object stands on.
    float rim = clamp(1.5 * (1.0 - facing), 0.0, 1.0);
    gl_FragColor = vec4(mHighlightColor.rgb * rim * mAlphaOverride * 2.0 * mHighlightColor.a, 1.0);
}
