// Glow pass of highlighted objects: the mesh pushed out a little along its normals.
uniform mat4 mWorldViewProj;
void main()
{
    gl_Position = mWorldViewProj * vec4(gl_Vertex.xyz + gl_Normal * 0.02, 1.0);
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
}
