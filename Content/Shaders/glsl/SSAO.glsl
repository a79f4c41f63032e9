// Post effect: screen-space ambient occlusion from the depth pass (DepthMapSampler: depth
// over the camera's far value) and random vectors (UserMapSampler); white is unoccluded.
uniform sampler2D DepthMapSampler;
uniform sampler2D UserMapSampler;
uniform mat4 mViewProj;
void main()
{
    vec2 uv = gl_TexCoord[0].xy;
    float depth = texture2D(DepthMapSampler, uv).r;
    if (depth >= 0.999) {
        gl_FragColor = vec4(1.0);
        return;
    }
    vec2 pixel = vec2(1.0 / float(SCREENX), 1.0 / float(SCREENY));
    vec2 jitter = texture2D(UserMapSampler, uv * vec2(float(SCREENX), float(SCREENY)) / 512.0).xy * 2.0 - 1.0;
    float radius = clamp(0.02 / max(depth, 0.01), 2.0, 24.0);
    float occlusion = 0.0;
    for (int i = 0; i < 8; ++i) {
        float angle = float(i) * 0.785398 + jitter.x * 0.785398;
        vec2 offset = vec2(cos(angle), sin(angle)) * radius * (0.5 + 0.5 * fract(float(i) * 0.618 + jitter.y));
        float sampleDepth = texture2D(DepthMapSampler, uv + offset * pixel).r;
        float difference = depth - sampleDepth;
        occlusion += difference > 0.0005 && difference < 0.02 ? 1.0 : 0.0;
    }
    float ao = 1.0 - occlusion / 8.0 * 0.6;
    gl_FragColor = vec4(ao, ao, ao, 1.0);
}
