// Post effect: a horizontal blur of the previous effect's picture (ColorMapSampler).
// SCREENX is the render width, put in by the shader preprocessor.
uniform sampler2D ColorMapSampler;
void main()
{
    vec2 texelStep = vec2(1.0 / float(SCREENX), 0.0);
    vec2 uv = gl_TexCoord[0].xy;
    vec4 sum = texture2D(ColorMapSampler, uv) * 0.2270270;
    sum += (texture2D(ColorMapSampler, uv + texelStep * 1.3846154) + texture2D(ColorMapSampler, uv - texelStep * 1.3846154)) * 0.3162162;
    sum += (texture2D(ColorMapSampler, uv + texelStep * 3.2307692) + texture2D(ColorMapSampler, uv - texelStep * 3.2307692)) * 0.0702703;
    gl_FragColor = sum;
}
