// The GLSL texts of the effect handler's built-in materials, one per role. The "##ifdef"
// lines are the shader preprocessor's; "SAMPLE_AMOUNT" is substituted by it.
#include "render/EffectHandler.h"

namespace {

const char* const lightModulatePixel = R"(
uniform sampler2D ColorMapSampler;
uniform sampler2D ScreenMapSampler;
void main()
{
    vec4 colour = texture2D(ColorMapSampler, gl_TexCoord[0].xy);
    vec4 light = texture2D(ScreenMapSampler, gl_TexCoord[0].xy);
    gl_FragColor = colour * light;
}
)";

// Into the shadow atlas (PackDepth 1) a depth goes as 24-bit fixed point in the red, green and
// blue bytes of an 8-bit target: the receivers' shader reads a byte texel several times faster
// than a float one on a software rasterizer, and 24 bits hold a depth as finely as a float's
// mantissa does near the far end. Elsewhere the depth and its square go as floats.
#define DEPTH_PIXEL_HEAD                                                                           \
    "uniform float PackDepth;\n"                                                                   \
    "varying vec4 depthRecord;\n"                                                                  \
    "vec3 packedDepth(float z)\n"                                                                  \
    "{\n"                                                                                          \
    "    float whole = floor(clamp(z, 0.0, 1.0) * 16777215.0 + 0.5);\n"                            \
    "    float high = floor(whole / 65536.0);\n"                                                   \
    "    float middle = floor((whole - high * 65536.0) / 256.0);\n"                                \
    "    return vec3(high, middle, whole - high * 65536.0 - middle * 256.0) / 255.0;\n"            \
    "}\n"                                                                                          \
    "vec3 depthColour(float z)\n"                                                                  \
    "{\n"                                                                                          \
    "    return PackDepth > 0.5 ? packedDepth(z) : vec3(z, z * z, 0.0);\n"                         \
    "}\n"

const char* const depthPixel = DEPTH_PIXEL_HEAD R"(
void main()
{
    float z = depthRecord.z / depthRecord.x;
    gl_FragColor = vec4(depthColour(z), PackDepth > 0.5 ? 1.0 : 0.0);
}
)";

const char* const depthAlphaPixel = DEPTH_PIXEL_HEAD R"(
uniform sampler2D ColorMapSampler;
void main()
{
    float d = depthRecord.z / depthRecord.x;
    float alpha = texture2D(ColorMapSampler, gl_TexCoord[0].xy).a;
    gl_FragColor = vec4(depthColour(d), alpha);
}
)";

// Shared head of the three depth vertex roles.
#define DEPTH_VERTEX_HEAD                                                                          \
    "uniform mat4 mWorldViewProj;\n"                                                               \
    "uniform float MaxD;\n"                                                                        \
    "#define MaxBones 75\n"                                                                        \
    "#define RowCount 3\n"                                                                         \
    "uniform vec4 mJointTransform[MaxBones * RowCount];\n"                                         \
    "uniform float skinned;\n"                                                                     \
    "uniform float instanced;\n"                                                                   \
    "varying vec4 depthRecord;\n"                                                                  \
    "vec3 applyRows(int first, vec4 p)\n"                                                          \
    "{\n"                                                                                          \
    "    return vec3(dot(mJointTransform[first], p), dot(mJointTransform[first + 1], p),\n"        \
    "                dot(mJointTransform[first + 2], p));\n"                                       \
    "}\n"                                                                                          \
    "void writeDepth(vec4 position)\n"                                                             \
    "{\n"                                                                                          \
    "    vec4 clip = mWorldViewProj * position;\n"                                                 \
    "    gl_Position = clip;\n"                                                                    \
    "    depthRecord = vec4(MaxD, clip.y, clip.z, clip.w);\n"                                      \
    "    gl_TexCoord[0] = gl_MultiTexCoord0;\n"                                                    \
    "}\n"

const char* const depthVertex = DEPTH_VERTEX_HEAD R"(
void main()
{
    writeDepth(gl_Vertex);
}
)";

const char* const skinnedDepthVertex = DEPTH_VERTEX_HEAD R"(
void main()
{
    vec4 position = gl_Vertex;
    if (skinned > 0.5) {
        // Joint numbers are 1-based in the vertex colour (0: no joint); the weights ride in
        // the binormal, the fourth being what the first three leave of 1.
        vec4 joints = floor(gl_Color * 255.9);
        vec3 w3 = gl_MultiTexCoord2.xyz;
        vec4 weights = vec4(w3, max(1.0 - w3.x - w3.y - w3.z, 0.0));
        vec3 blended = vec3(0.0);
        float total = 0.0;
        for (int i = 0; i < 4; ++i) {
            float joint = joints[i];
            if (joint < 0.5)
                continue;
            int first = int(joint - 1.0) * RowCount;
            blended += applyRows(first, gl_Vertex) * weights[i];
            total += weights[i];
        }
        if (total > 0.0)
            position = vec4(blended / total, 1.0);
    }
    writeDepth(position);
}
)";

const char* const instancedDepthVertex = DEPTH_VERTEX_HEAD R"(
void main()
{
    vec4 position = gl_Vertex;
    if (instanced > 0.5) {
        int first = int(gl_MultiTexCoord1.x + 0.5) * RowCount;
        position = vec4(applyRows(first, gl_Vertex), 1.0);
    }
    writeDepth(position);
}
)";

const char* const shadowPixel = R"(
uniform sampler2D ShadowMapSampler;
uniform vec4 LightColour;
varying vec4 SMPos;
varying vec4 MVar; // light depth, diffuse term, MaxD, 1 / MAPRES

float shadowedAt(vec2 coords, float depth)
{
##ifdef VSM
    vec4 moments = texture2D(ShadowMapSampler, coords);
    float variance = min(max(moments.y - moments.x * moments.x, 0.00001) + 0.000001, 1.0);
    float m = depth - moments.x;
    return depth <= moments.x ? 0.0 : 1.0 - variance / (variance + m * m);
##else
    return texture2D(ShadowMapSampler, coords).x < depth - 0.002 ? 1.0 : 0.0;
##endif
}

void main()
{
    vec2 offsets[16];
    offsets[0] = vec2(0.0, 0.0);
    offsets[1] = vec2(-1.0, -1.0);
    offsets[2] = vec2(1.0, -1.0);
    offsets[3] = vec2(-1.0, 1.0);
    offsets[4] = vec2(1.0, 1.0);
    offsets[5] = vec2(-2.0, 0.0);
    offsets[6] = vec2(2.0, 0.0);
    offsets[7] = vec2(0.0, -2.0);
    offsets[8] = vec2(0.0, 2.0);
    offsets[9] = vec2(-3.0, -3.0);
    offsets[10] = vec2(3.0, -3.0);
    offsets[11] = vec2(-3.0, 3.0);
    offsets[12] = vec2(3.0, 3.0);
    offsets[13] = vec2(-4.0, 0.0);
    offsets[14] = vec2(4.0, 0.0);
    offsets[15] = vec2(0.0, 4.0);

    vec2 coords = SMPos.xy / SMPos.w * 0.5 + 0.5;
    float depth = MVar.x;
    if (coords.x < 0.0 || coords.x > 1.0 || coords.y < 0.0 || coords.y > 1.0 || depth < 0.0 || depth > MVar.z) {
        gl_FragColor = vec4(0.0);
        return;
    }
    float lightDepth = depth / MVar.z;
    float light = 1.0;
    for (int i = 0; i < SAMPLE_AMOUNT; ++i)
        light -= shadowedAt(coords + offsets[i] * MVar.w, lightDepth) / float(SAMPLE_AMOUNT);
    vec4 result = LightColour * light * MVar.y;
##ifdef ROUND_SPOTLIGHTS
    result *= clamp(5.0 - 10.0 * length(coords - vec2(0.5)), 0.0, 1.0);
##endif
    gl_FragColor = result;
}
)";

const char* const shadowVertex = R"(
uniform mat4 mWorldViewProj;
uniform mat4 mWorldViewProj2;
uniform vec3 LightPos;
uniform float MaxD;
uniform float MAPRES;
varying vec4 SMPos;
varying vec4 MVar;

void vertexMain()
{
    gl_Position = mWorldViewProj * gl_Vertex;
    SMPos = mWorldViewProj2 * gl_Vertex;
    vec3 toLight = normalize(LightPos - gl_Vertex.xyz);
    MVar = vec4(SMPos.z, max(dot(normalize(gl_Normal), toLight), 0.0), MaxD, 1.0 / MAPRES);
    gl_TexCoord[0] = gl_MultiTexCoord0;
}

void main()
{
    vertexMain();
}
)";

const char* const copyPixel = R"(
uniform sampler2D ColorMapSampler;
void main()
{
    gl_FragColor = texture2D(ColorMapSampler, gl_TexCoord[0].xy);
}
)";

const char* const whiteWashPixel = R"(
uniform sampler2D ColorMapSampler;
void main()
{
    gl_FragColor = vec4(1.0, 1.0, 1.0, texture2D(ColorMapSampler, gl_TexCoord[0].xy).a);
}
)";

const char* const luminancePixel = R"(
uniform sampler2D ColorMapSampler;
void main()
{
    vec4 c = texture2D(ColorMapSampler, gl_TexCoord[0].xy);
    gl_FragColor = vec4(1.0, 1.0, 1.0, clamp(0.3 * c.r + 0.59 * c.g + 0.11 * c.b, 0.0, 1.0));
}
)";

const char* const screenQuadVertex = R"(
uniform float screenX;
uniform float screenY;
uniform vec3 LineStarts0;
uniform vec3 LineStarts1;
uniform vec3 LineStarts2;
uniform vec3 LineStarts3;
uniform vec3 LineEnds0;
uniform vec3 LineEnds1;
uniform vec3 LineEnds2;
uniform vec3 LineEnds3;
varying vec2 ScreenSize;
varying vec3 LStart;
varying vec3 LEnd;
void main()
{
    gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0);
    vec2 tc = 0.5 * (1.0 + gl_Vertex.xy);
    gl_TexCoord[0] = vec4(tc, 0.0, 0.0);
    // Corner rays: 0 upper left, 1 upper right, 2 lower left, 3 lower right.
    vec3 topStart = mix(LineStarts0, LineStarts1, tc.x);
    vec3 bottomStart = mix(LineStarts2, LineStarts3, tc.x);
    vec3 topEnd = mix(LineEnds0, LineEnds1, tc.x);
    vec3 bottomEnd = mix(LineEnds2, LineEnds3, tc.x);
    LStart = mix(bottomStart, topStart, tc.y);
    LEnd = mix(bottomEnd, topEnd, tc.y);
    ScreenSize = vec2(screenX, screenY);
}
)";

const char* const vsmBlurPixel = R"(
uniform sampler2D ColorMapSampler;
varying vec2 ScreenSize;
vec4 tap(vec2 coords)
{
    return texture2D(ColorMapSampler, clamp(coords, vec2(0.001), vec2(0.999)));
}
void main()
{
    vec2 dir = vec2(1.0 / ScreenSize.x, 0.0);
##ifdef VERTICAL_VSM_BLUR
    dir = vec2(0.0, 1.0 / ScreenSize.y);
##endif
    vec2 c = gl_TexCoord[0].xy;
    vec4 sum = tap(c) + tap(c + dir * 1.5) + tap(c - dir * 1.5) + tap(c + dir * 2.5) + tap(c - dir * 2.5);
    gl_FragColor = sum / 5.0;
}
)";

const char* const glslRoles[EffectShaderRoleCount] = {
    lightModulatePixel, depthPixel,   depthAlphaPixel, depthVertex,    skinnedDepthVertex,
    instancedDepthVertex, shadowPixel, shadowVertex,   copyPixel,      whiteWashPixel,
    luminancePixel,     screenQuadVertex, vsmBlurPixel};

} // namespace

const char* effectShaderSource(int role, int driverColumn) {
    if (role < 0 || role >= EffectShaderRoleCount || driverColumn != 0)
        return nullptr;
    return glslRoles[role];
}
