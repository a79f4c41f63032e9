// Circular wipe: the cover image (times the vertex colour) outside the circle, nothing
// inside it. circleSize is the radius in screen heights; 0 covers the whole screen.
uniform sampler2D g_samSrcColor;
uniform float circleSize;
uniform float aspect;
void main()
{
    vec2 centred = (gl_TexCoord[0].xy - vec2(0.5)) * vec2(aspect, 1.0);
    float outside = length(centred) > circleSize ? 1.0 : 0.0;
    vec4 colour = texture2D(g_samSrcColor, gl_TexCoord[0].xy) * gl_Color;
    gl_FragColor = vec4(colour.rgb, colour.a * outside);
}
