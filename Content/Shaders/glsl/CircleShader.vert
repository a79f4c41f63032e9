// Circular wipe of the screen transitions: the quad comes in normalised device coordinates.
void main()
{
    gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0);
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
}
