// Glow pass of highlighted objects: the mesh pushed out a little along its normals, skinned
// like the Phong variants when the object is.
uniform mat4 mWorldViewProj;
uniform mat4 mWorld;
uniform float mSkinned;
#define MaxBones 75
#define RowCount 3
uniform vec4 mJointTransform[MaxBones * RowCount];
uniform vec3 mCameraPosition;
varying float facing;
vec3 applyRows(int first, vec4 p)
{
    return vec3(dot(mJointTransform[first], p), dot(mJointTransform[first + 1], p),
                dot(mJointTransform[first + 2], p));
}
void main()
{
    vec4 position = gl_Vertex;
    vec3 normal = gl_Normal;
    if (mSkinned > 0.5) {
        vec4 joints = floor(gl_Color * 255.9);
        vec3 w3 = gl_MultiTexCoord2.xyz;
        vec4 weights = vec4(w3, max(1.0 - w3.x - w3.y - w3.z, 0.0));
        vec3 blended = vec3(0.0);
        vec3 blendedNormal = vec3(0.0);
        float total = 0.0;
        for (int i = 0; i < 4; ++i) {
            if (joints[i] < 0.5)
                continue;
            int first = int(joints[i] - 1.0) * RowCount;
            blended += applyRows(first, gl_Vertex) * weights[i];
            blendedNormal += applyRows(first, vec4(gl_Normal, 0.0)) * weights[i];
            total += weights[i];
        }
        if (total > 0.0) {
            position = vec4(blended / total, 1.0);
            normal = blendedNormal;
        }
    }
    gl_Position = mWorldViewProj * vec4(position.xyz + normalize(normal) * 0.02, 1.0);
    vec3 worldNormal = normalize((mWorld * vec4(normal, 0.0)).xyz);
    vec3 toEye = normalize(mCameraPosition - (mWorld * position).xyz);
    facing = abs(dot(worldNormal, toEye));
    gl_TexCoord[0] = gl_MultiTexCoord0;
}
