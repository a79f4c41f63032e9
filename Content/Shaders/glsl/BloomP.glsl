// Post effect: the scene (ScreenMapSampler) with the bright parts of the blurred picture
// (ColorMapSampler) added as a glow.
uniform sampler2D ColorMapSampler;
uniform sampler2D ScreenMapSampler;
void main()
{
    vec4 scene = texture2D(ScreenMapSampler, gl_TexCoord[0].xy);
    vec4 blurred = texture2D(ColorMapSampler, gl_TexCoord[0].xy);
    vec3 bright = max(blurred.rgb - vec3(0.6), vec3(0.0)) * 2.0;
    gl_FragColor = vec4(scene.rgb + bright, scene.a);
}
