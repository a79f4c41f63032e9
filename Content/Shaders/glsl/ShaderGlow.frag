// Glow pass: a soft additive rim in the vertex colour.
uniform sampler2D diffuseSampler;
void main()
{
    gl_FragColor = vec4(gl_Color.rgb * 0.5, 1.0);
}
