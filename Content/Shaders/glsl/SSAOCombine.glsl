// Post effect: the scene (ScreenMapSampler) darkened by the blurred occlusion
// (ColorMapSampler).
uniform sampler2D ColorMapSampler;
uniform sampler2D ScreenMapSampler;
void main()
{
    vec4 scene = texture2D(ScreenMapSampler, gl_TexCoord[0].xy);
    float ao = texture2D(ColorMapSampler, gl_TexCoord[0].xy).r;
    gl_FragColor = vec4(scene.rgb * ao, scene.a);
}
