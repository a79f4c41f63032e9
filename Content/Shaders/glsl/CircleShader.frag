// Circular wipe: transparent inside the circle, the cover colour outside.
uniform float circleSize;
uniform float aspectRatio;
void main()
{
    vec2 centred = (gl_TexCoord[0].xy - vec2(0.5)) * vec2(aspectRatio, 1.0);
    float outside = length(centred) > circleSize ? 1.0 : 0.0;
    gl_FragColor = vec4(gl_Color.rgb, gl_Color.a * outside);
}
